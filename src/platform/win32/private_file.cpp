#include "platform/private_file.h"

#include <windows.h>

#include <aclapi.h>

#include <cerrno>

#include "platform/random.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::failLastError;
using win32::failWindows;
using win32::OwnedHandle;

std::string temporaryNameBeside(const std::string& path) {
    return path + "." + randomHexDigits(8) + ".tmp";
}

// Makes sure the file now at `path` lets only its owner in. A rename on one volume keeps the
// rights the temporary was made with, but what matters is the file that holds the secret now,
// not the intent; they are put on again only when they differ, since Wine's mapping of rights
// onto file modes loosens a file that is set anew.
Result<> protectInPlace(const std::wstring& path, win32::FileSecurity& security) {
    OwnedHandle file(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return failLastError("protect the file");
    if (win32::grantsOnlyTheOwner(file.get(), security.owner())) return {};
    const DWORD error = ::SetSecurityInfo(file.get(), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                              PROTECTED_DACL_SECURITY_INFORMATION,
                                          security.owner(), nullptr, security.dacl(), nullptr);
    if (error != ERROR_SUCCESS) return failWindows(error, "protect the file");
    if (!win32::grantsOnlyTheOwner(file.get(), security.owner()))
        return fail(EACCES, "protect the file");
    return {};
}

}  // namespace

Result<> replacePrivateFile(const std::string& path, const std::string& bytes) {
    Result<win32::FileSecurity> security = win32::FileSecurity::ownerOnly();
    if (!security) return std::unexpected(security.error());
    const std::wstring temporary = win32::widePath(temporaryNameBeside(path));
    const std::wstring target = win32::widePath(path);
    // Created owner-only and exclusive, so nobody else can open it before the secret is in
    // it; a handle opened during a wider window would keep reading after any later change.
    SECURITY_ATTRIBUTES attributes = security->attributes();
    OwnedHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return failLastError("create a temporary file");
    Result<> done = win32::writeAll(file.get(), bytes);
    if (done && !::FlushFileBuffers(file.get())) done = failLastError("flush");
    if (!file.close() && done) done = failLastError("close");
    if (done && !::MoveFileExW(temporary.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        done = failLastError("rename");
    if (!done) {
        ::DeleteFileW(temporary.c_str());
        return done;
    }
    return protectInPlace(target, *security);
}

Result<> removeFile(const std::string& path) {
    const DWORD error = win32::removeEntry(win32::widePath(path));
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return {};
    if (error == ERROR_DIRECTORY) return fail(EISDIR, "delete");
    return failWindows(error, "delete");
}

}  // namespace platform
