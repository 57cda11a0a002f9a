#pragma once
#include <windows.h>

#include <string>

#include "platform/result.h"

// What a path names on Windows, with symbolic links and junctions told apart from what they
// lead to. Both are reparse points that name another place ("name surrogates"); other
// reparse points (cloud placeholders, deduplicated files) are ordinary files and folders.
namespace platform::win32 {

// A reparse tag that makes the entry lead somewhere else.
inline bool isLinkTag(DWORD tag) {
    return IsReparseTagNameSurrogate(tag);
}

// The path itself is a symbolic link or junction, whatever it leads to.
bool isLinkAt(const std::wstring& path);

enum class FollowedKind { missing, file, folder, device };

// What the path names with every link followed: `missing` also for a link that leads
// nowhere, `device` for a console, pipe or other non-disk object under a reserved name.
// For `missing`, `error` (when given) receives the system's reason.
FollowedKind followedKind(const std::wstring& path, DWORD* error = nullptr);

// The place a symbolic link or junction names, as written in it (GetFinalPathNameByHandleW
// cannot tell it when that place is missing).
struct LinkTarget {
    std::wstring path;
    bool relative = false;  // read from the link's own folder
};
Result<LinkTarget> readLinkTarget(const std::wstring& path);

}  // namespace platform::win32
