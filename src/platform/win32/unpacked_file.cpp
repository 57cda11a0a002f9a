#include "platform/unpacked_file.h"

#include <windows.h>

#include <cerrno>
#include <vector>

#include "platform/random.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::failLastError;
using win32::OwnedHandle;

std::string temporaryBeside(const std::string& path) {
    return path + "." + randomHexDigits(8) + ".part";
}

Result<> copyBytes(HANDLE from, HANDLE to) {
    std::vector<char> block(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, block.data(), static_cast<DWORD>(block.size()), &got, nullptr))
            return failLastError("read");
        if (got == 0) return {};
        Result<> written = win32::writeAll(to, std::string_view(block.data(), got));
        if (!written) return written;
    }
}

}  // namespace

Result<> copyUnpackedFile(const std::string& from, const std::string& to) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, to be refused below; without backup
    // semantics a folder does not open at all.
    OwnedHandle source(::CreateFileW(
        win32::widePath(from).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return failLastError("open");
    BY_HANDLE_FILE_INFORMATION facts{};
    if (::GetFileType(source.get()) != FILE_TYPE_DISK) return fail(EPERM, "not a file of its own");
    if (!::GetFileInformationByHandle(source.get(), &facts)) return failLastError("examine");
    if ((facts.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        facts.nNumberOfLinks != 1)
        return fail(EPERM, "not a file of its own");
    const std::wstring temporary = win32::widePath(temporaryBeside(to));
    OwnedHandle target(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
    if (!target) return failLastError("create");
    Result<> done = copyBytes(source.get(), target.get());
    if (!target.close() && done) done = failLastError("close");
    if (done && !::MoveFileExW(temporary.c_str(), win32::widePath(to).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        done = failLastError("rename");
    if (!done) ::DeleteFileW(temporary.c_str());
    return done;
}

}  // namespace platform
