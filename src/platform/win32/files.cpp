#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/paths.h"
#include "platform/temporary_files.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/file_io.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::failLastError;
using win32::failWindows;
using win32::OwnedHandle;
using win32::widePath;

// Readers never stand in the way of a writer or of a save renaming its file into place.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Result<> closeChecked(OwnedHandle& file) {
    if (file.close()) return {};
    return failLastError("close");
}

// The file a save of `path` must replace: a symbolic link is followed to the file it names,
// so the link itself stays and keeps pointing there. A path that is no link is itself.
Result<std::string> followLinks(std::string path) {
    constexpr int kMostHops = 63;  // as Windows allows before it gives up
    for (int hop = 0; hop < kMostHops; ++hop) {
        const std::wstring wide = widePath(path);
        if (!win32::isLinkAt(wide)) return path;
        Result<win32::LinkTarget> target = win32::readLinkTarget(wide);
        if (!target) return std::unexpected(target.error());
        std::string next = win32::fromWide(target->path);
        // A relative link is read from the link's own folder.
        if (target->relative && !win32::isAbsolutePath(target->path))
            next = folderAndName(path).first + next;
        path = std::move(next);
    }
    return fail(ELOOP, "follow links");
}

// Creates the temporary with the rights the file will have, before any byte is written: a
// locked-down server.cfg never sits open to others while its content is written.
Result<OwnedHandle> createTemporary(const std::wstring& temporary, const std::wstring& target) {
    std::optional<win32::FileSecurity> security = win32::FileSecurity::explicitEntriesOf(target);
    SECURITY_ATTRIBUTES attributes{};
    if (security) attributes = security->attributes();
    OwnedHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0,
                                   security ? &attributes : nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return failLastError("create a temporary file");
    return file;
}

}  // namespace

Result<ReadableFile> openForReading(const std::string& path) {
    const std::wstring wide = widePath(path);
    OwnedHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        // A folder cannot be opened as a file and is refused as "access denied".
        if (error == ERROR_ACCESS_DENIED &&
            win32::followedKind(wide) == win32::FollowedKind::folder)
            return fail(EISDIR, "not a regular file");
        return failWindows(error, "open");
    }
    // A reserved name (CON, a pipe) opens a device, whose reading could wait for ever.
    LARGE_INTEGER size{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size))
        return fail(EINVAL, "not a regular file");
    // Read through a C runtime descriptor, as on every other system.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) return fail(EMFILE, "open");
    file.release();
    return ReadableFile{FileHandle(fd), static_cast<std::uint64_t>(size.QuadPart)};
}

Result<> writeWholeFile(const std::string& path, const std::string& bytes) {
    // Opened, then cut to nothing: CREATE_ALWAYS would refuse an existing hidden file.
    OwnedHandle file(::CreateFileW(widePath(path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failLastError("open");
    if (!::SetEndOfFile(file.get())) return failLastError("truncate");
    Result<> written = win32::writeAll(file.get(), bytes);
    Result<> closed = closeChecked(file);
    return written ? closed : written;
}

Result<> createWholeFile(const std::string& path, const std::string& bytes) {
    const std::wstring wide = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return fail(EISDIR, "create a file");
        if (DWORD error = win32::removeEntry(wide)) {
            return failWindows(error, "remove what stood there");
        }
    }
    // CREATE_NEW fails on anything at the name, and with FILE_FLAG_OPEN_REPARSE_POINT a link
    // that appeared meanwhile is never followed to create its target.
    OwnedHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return failLastError("create");
    Result<> written = win32::writeAll(file.get(), bytes);
    Result<> closed = closeChecked(file);
    return written ? closed : written;
}

Result<> replaceWholeFile(const std::string& path, const std::string& bytes, AtLink atLink) {
    Result<std::string> target =
        atLink == AtLink::follow ? followLinks(path) : Result<std::string>(path);
    if (!target) return std::unexpected(target.error());
    removeStaleTemporaries(*target);
    const std::string temporary = temporaryNameBeside(*target);
    const std::wstring wideTemporary = widePath(temporary);
    const std::wstring wideTarget = widePath(*target);
    InFlight writing(temporary);
    Result<OwnedHandle> file = createTemporary(wideTemporary, wideTarget);
    if (!file) return std::unexpected(file.error());
    Result<> done = win32::writeAll(file->get(), bytes);
    // Without the flush a crash right after the rename could leave an empty file behind.
    if (done && !::FlushFileBuffers(file->get())) done = failLastError("flush");
    Result<> closed = closeChecked(*file);
    if (done) done = closed;
    // Renaming over a symbolic link replaces the link itself, as rename(2) does.
    if (done && !::MoveFileExW(wideTemporary.c_str(), wideTarget.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        done = failLastError("rename");
    if (!done) ::DeleteFileW(wideTemporary.c_str());
    return done;
}

Result<> renameReplacing(const std::string& from, const std::string& to) {
    // No MOVEFILE_COPY_ALLOWED: like rename(2) it stays one step on one volume.
    if (::MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return failLastError("rename");
}

Result<> makeFolder(const std::string& path) {
    const std::wstring wide = widePath(path);
    if (::CreateDirectoryW(wide.c_str(), nullptr)) return {};
    const DWORD error = ::GetLastError();
    if (error != ERROR_PATH_NOT_FOUND) return failWindows(error, "make a folder");
    // Windows says "path not found" also when a level on the way is a file, where mkdir(2)
    // says ENOTDIR: a caller making a level below a file must learn that it never will.
    std::string level = path;
    for (;;) {
        const std::string parent = folderAndName(level).first;
        if (parent.empty() || parent.size() >= level.size()) break;
        level = parent.substr(0, parent.size() - 1);
        if (level.empty() || level.back() == ':') break;
        switch (win32::followedKind(widePath(level))) {
            case win32::FollowedKind::missing:
                continue;
            case win32::FollowedKind::folder:
                return failWindows(error, "make a folder");
            default:
                return fail(ENOTDIR, "make a folder");
        }
    }
    return failWindows(error, "make a folder");
}

bool isSymbolicLink(const std::string& path) {
    return !path.empty() && win32::isLinkAt(widePath(path));
}

PathKind pathKind(const std::string& path) {
    if (path.empty()) return PathKind::missing;
    const std::wstring wide = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
    // Only a link needs opening to learn what it leads to, if anything.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        switch (win32::followedKind(wide)) {
            case win32::FollowedKind::missing:
                return PathKind::missing;
            case win32::FollowedKind::folder:
                return PathKind::folder;
            default:
                return PathKind::file;
        }
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::folder : PathKind::file;
}

std::vector<FolderEntry> listFolder(const std::string& path) {
    std::vector<FolderEntry> entries;
    if (path.empty()) return entries;
    const std::string folder =
        path.back() == '/' || path.back() == '\\' ? path : path + pathSeparator;
    WIN32_FIND_DATAW found{};
    const std::wstring wideFolder = widePath(folder);
    HANDLE search = ::FindFirstFileExW((wideFolder + L"*").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string utf8 = win32::fromWide(name);
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        // Only links need opening; the listing tells the kind of everything else.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            win32::isLinkTag(found.dwReserved0)) {
            const win32::FollowedKind kind = win32::followedKind(wideFolder + found.cFileName);
            // A dangling link names nothing that could be opened: leave it out.
            if (kind == win32::FollowedKind::missing) continue;
            isFolder = kind == win32::FollowedKind::folder;
        }
        entries.push_back({std::move(utf8), isFolder});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

}  // namespace platform
