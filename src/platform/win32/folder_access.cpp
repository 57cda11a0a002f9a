#include "platform/folder_access.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::OwnedHandle;

// The name an open file or folder really has, every link and short name resolved, in the
// \\?\C:\... form; empty when the system cannot tell.
std::wstring finalPathOf(HANDLE opened) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(opened, path.data(), static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);  // the size needed, its terminating zero included
    }
}

// `path` lies below `folder`: the folder's name and a separator begin it, letter case aside
// as Windows itself compares names.
bool liesInside(const std::wstring& path, std::wstring folder) {
    if (!folder.ends_with(L'\\')) folder += L'\\';
    return path.size() > folder.size() &&
           ::CompareStringOrdinal(path.data(), static_cast<int>(folder.size()), folder.data(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

Result<FileHandle> openInsideFolder(const std::string& folder, const std::string& relative) {
    if (folder.empty() || relative.empty()) return fail(ENOENT, "no such folder or file");
    // Held open without FILE_SHARE_DELETE until the check is done: neither the folder nor any
    // folder above it can be renamed or swapped for a link meanwhile.
    OwnedHandle dir(::CreateFileW(win32::widePath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!dir || !::GetFileInformationByHandle(dir.get(), &facts) ||
        !(facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(ENOENT, "no such folder");
    const std::wstring realFolder = finalPathOf(dir.get());
    if (realFolder.empty()) return fail(ENOENT, "no such folder");
    // Without backup semantics a folder cannot be opened, so only files get past here.
    OwnedHandle file(::CreateFileW(win32::widePath(folder + "\\" + relative).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME || error == ERROR_DIRECTORY)
            return fail(ENOENT, "no such file");
        return fail(EACCES, "cannot open the file");
    }
    // A reserved name (NUL, CON) opens a device wherever it stands.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return fail(EACCES, "not a regular file");
    // The name the open file really has, after every link on the way: it must still lie
    // inside the folder.
    const std::wstring real = finalPathOf(file.get());
    if (real.empty()) return fail(EACCES, "cannot tell where the file lies");
    if (!liesInside(real, realFolder)) return fail(EACCES, "outside the folder");
    // The callers read through a C runtime descriptor, as on every other system.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) return fail(EMFILE, "cannot open the file");
    file.release();
    return FileHandle(fd);
}

Result<std::uint64_t> openFileSize(const FileHandle& file) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.get()));
    LARGE_INTEGER size{};
    if (handle == INVALID_HANDLE_VALUE) return fail(EBADF, "read the file's size");
    if (!::GetFileSizeEx(handle, &size)) return fail(EIO, "read the file's size");
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace platform
