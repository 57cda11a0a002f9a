#include "platform/win32/security.h"

#include <aclapi.h>

#include "platform/win32/errors.h"
#include "platform/win32/handle.h"

namespace platform::win32 {
namespace {

Result<std::vector<unsigned char>> currentUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return failLastError("open the process token");
    OwnedHandle owned(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> info(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, info.data(), size, &size))
        return failLastError("read the current user");
    PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    std::vector<unsigned char> copy(::GetLengthSid(sid));
    if (!::CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid))
        return failLastError("copy the current user");
    return copy;
}

// Frees what GetNamedSecurityInfoW hands out.
struct LocalMemory {
    ~LocalMemory() { ::LocalFree(memory); }
    PSECURITY_DESCRIPTOR memory = nullptr;
};

bool isSystemAccount(PSID sid) {
    return ::IsWellKnownSid(sid, WinLocalSystemSid);
}

}  // namespace

SECURITY_ATTRIBUTES FileSecurity::attributes() {
    return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), &descriptor_, FALSE};
}

Result<> FileSecurity::describe(bool protectedFromInheritance) {
    if (!::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor_, TRUE, dacl(), FALSE) ||
        (owner() && !::SetSecurityDescriptorOwner(&descriptor_, owner(), FALSE)))
        return failLastError("describe the file's rights");
    if (protectedFromInheritance &&
        !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return failLastError("describe the file's rights");
    return {};
}

Result<FileSecurity> FileSecurity::ownerOnly() {
    Result<std::vector<unsigned char>> user = currentUser();
    if (!user) return std::unexpected(user.error());
    FileSecurity security;
    security.owner_ = std::move(*user);
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) +
                          static_cast<DWORD>(security.owner_.size());
    security.dacl_.resize(aclSize);
    if (!::InitializeAcl(security.dacl(), aclSize, ACL_REVISION) ||
        !::AddAccessAllowedAceEx(security.dacl(), ACL_REVISION, 0, FILE_ALL_ACCESS,
                                 security.owner()))
        return failLastError("describe the file's rights");
    Result<> described = security.describe(true);
    if (!described) return std::unexpected(described.error());
    return security;
}

std::optional<FileSecurity> FileSecurity::explicitEntriesOf(const std::wstring& path) {
    PACL old = nullptr;
    LocalMemory descriptor;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &old, nullptr, &descriptor.memory) != ERROR_SUCCESS ||
        old == nullptr)
        return std::nullopt;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor.memory, &control, &revision))
        return std::nullopt;
    const bool isProtected = control & SE_DACL_PROTECTED;
    std::vector<const ACE_HEADER*> own;
    DWORD aclSize = sizeof(ACL);
    for (DWORD i = 0; i < old->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(old, i, &ace)) return std::nullopt;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceFlags & INHERITED_ACE) continue;
        own.push_back(header);
        aclSize += header->AceSize;
    }
    // An unprotected list with nothing of its own is just what the folder passes on.
    if (own.empty() && !isProtected) return std::nullopt;
    FileSecurity security;
    security.dacl_.resize(aclSize);
    if (!::InitializeAcl(security.dacl(), aclSize, old->AclRevision)) return std::nullopt;
    for (const ACE_HEADER* header : own) {
        if (!::AddAce(security.dacl(), old->AclRevision, MAXDWORD, const_cast<ACE_HEADER*>(header),
                      header->AceSize))
            return std::nullopt;
    }
    if (!security.describe(isProtected)) return std::nullopt;
    return security;
}

bool grantsOnlyTheOwner(HANDLE file, PSID owner) {
    PSID actualOwner = nullptr;
    PACL dacl = nullptr;
    LocalMemory descriptor;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &actualOwner,
                          nullptr, &dacl, nullptr, &descriptor.memory) != ERROR_SUCCESS)
        return false;
    // No list at all lets everyone in.
    if (!actualOwner || !::EqualSid(actualOwner, owner) || !dacl) return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        // Any other kind of entry that grants (object, callback) is beyond what is checked.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
        PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
        if (!::EqualSid(sid, owner) && !isSystemAccount(sid)) return false;
    }
    return true;
}

}  // namespace platform::win32
