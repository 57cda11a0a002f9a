#include "platform/win32/file_io.h"

#include <algorithm>

#include "platform/win32/errors.h"

namespace platform::win32 {

Result<> writeAll(HANDLE file, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        // WriteFile counts in DWORD; a larger block goes in pieces.
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, p, piece, &written, nullptr)) return failLastError("write");
        p += written;
        left -= written;
    }
    return {};
}

namespace {

// The attributes SetFileAttributesW accepts; the others (folder, link, compressed) are facts.
constexpr DWORD kSettable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_TEMPORARY;

}  // namespace

DWORD removeEntry(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
    // A link to a folder is itself a folder entry and goes with RemoveDirectoryW, which
    // removes the link and leaves the folder it leads to alone.
    const bool folderEntry = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folderEntry && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return ERROR_DIRECTORY;
    auto remove = [&] {
        return folderEntry ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str());
    };
    if (remove()) return 0;
    DWORD error = ::GetLastError();
    // Unlike unlink(2), Windows refuses to delete a read-only entry; the attribute guards
    // against mistakes by hand, not against the tool replacing its own files.
    if (error == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY) &&
        ::SetFileAttributesW(path.c_str(), (attributes & kSettable & ~FILE_ATTRIBUTE_READONLY) |
                                               FILE_ATTRIBUTE_NORMAL)) {
        if (remove()) return 0;
        error = ::GetLastError();
        ::SetFileAttributesW(path.c_str(), attributes & kSettable);
    }
    return error;
}

}  // namespace platform::win32
