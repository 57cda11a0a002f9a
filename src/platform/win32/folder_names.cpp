#include "platform/folder_names.h"

#include <windows.h>

#include <cerrno>

#include "platform/win32/errors.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::FollowedKind;

EntryKind kindOf(FollowedKind kind) {
    switch (kind) {
        case FollowedKind::folder:
            return EntryKind::folder;
        case FollowedKind::file:
            return EntryKind::file;
        default:
            return EntryKind::other;
    }
}

// The listing says what an entry is, which keeps a folder of a hundred thousand files quick;
// only links need opening to learn what they lead to.
EntryKind kindOf(const std::wstring& folder, const WIN32_FIND_DATAW& found) {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        win32::isLinkTag(found.dwReserved0))
        return kindOf(win32::followedKind(folder + found.cFileName));
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::folder
                                                               : EntryKind::file;
}

}  // namespace

Result<std::vector<NamedEntry>> readFolderNames(const std::string& path) {
    std::wstring folder = win32::widePath(path);
    // The search below cannot tell a missing folder from a file in its way.
    DWORD error = ERROR_SUCCESS;
    switch (win32::followedKind(folder, &error)) {
        case FollowedKind::folder:
            break;
        case FollowedKind::missing:
            return win32::failWindows(error, "open the folder");
        default:
            return fail(ENOTDIR, "open the folder");
    }
    if (!folder.ends_with(L'\\') && !folder.ends_with(L'/')) folder += L'\\';
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<NamedEntry> entries;
    if (search == INVALID_HANDLE_VALUE) {
        // A drive's root has no "." and "..", so an empty one finds nothing at all.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
        return win32::failLastError("read the folder");
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back({win32::fromWide(name), kindOf(folder, found)});
    } while (::FindNextFileW(search, &found));
    error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return win32::failWindows(error, "read the folder");
    return entries;
}

EntryKind entryKindAt(const std::string& path) {
    if (path.empty()) return EntryKind::other;
    return kindOf(win32::followedKind(win32::widePath(path)));
}

}  // namespace platform
