#pragma once
// Who a file lets in, read with the security calls themselves, for the tests of the files
// the tool writes on Windows.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/win32/wide.h"

// One entry of a file's access list.
struct Grant {
    std::string who;  // the SID as text, "S-1-5-..."
    ACCESS_MASK rights = 0;
    bool allows = true;      // an allow entry, else a deny entry
    bool inherited = false;  // passed on by the folder
    auto operator<=>(const Grant&) const = default;
};

// So that a failing comparison shows the entries, not their bytes.
inline void PrintTo(const Grant& grant, std::ostream* out) {
    *out << (grant.allows ? "allow " : "deny ") << grant.who << " 0x" << std::hex << grant.rights
         << std::dec << (grant.inherited ? " inherited" : "");
}

struct FileRights {
    std::string owner;
    bool readable = false;      // false when the rights could not be read at all
    bool hasList = false;       // no list at all lets everyone in
    std::vector<Grant> grants;  // sorted
};

inline std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) return "?";
    std::string out = platform::win32::fromWide(text);
    ::LocalFree(text);
    return out;
}

inline FileRights rightsOf(const std::string& path) {
    FileRights rights;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring wide = platform::win32::toWide(path);
    if (::GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return rights;
    rights.readable = true;
    rights.owner = owner ? sidText(owner) : "";
    rights.hasList = dacl != nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // Allow and deny entries share their layout up to the SID.
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        rights.grants.push_back({sidText(const_cast<DWORD*>(&entry->SidStart)), entry->Mask,
                                 header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                                 (header->AceFlags & INHERITED_ACE) != 0});
    }
    std::sort(rights.grants.begin(), rights.grants.end());
    ::LocalFree(descriptor);
    return rights;
}

inline std::string currentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "?";
    std::vector<unsigned char> info(256);
    DWORD size = 0;
    const bool ok = ::GetTokenInformation(token, TokenUser, info.data(),
                                          static_cast<DWORD>(info.size()), &size);
    ::CloseHandle(token);
    return ok ? sidText(reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid) : "?";
}

// The system account may read every file whatever a list says; Wine, which keeps rights as
// file modes, names it in every list it hands out.
inline constexpr const char* kSystemSid = "S-1-5-18";

// Creates a file with the rights an SDDL text describes ("D:P(A;;FA;;;WD)").
inline bool createWithRights(const std::string& path, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE file = ::CreateFileW(platform::win32::toWide(path).c_str(), GENERIC_WRITE, 0,
                                &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ::LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, "old", 3, &written, nullptr) && written == 3;
    return ::CloseHandle(file) && ok;
}
