#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/result.h"

namespace platform::win32 {

// Writes every byte to the file, going on after short writes.
Result<> writeAll(HANDLE file, std::string_view bytes);

// Removes the entry at `path` as unlink(2) would: a read-only attribute does not stand in
// the way, and a symbolic link or junction is removed itself, never what it leads to.
// Returns the Windows error code, 0 on success. Does not remove real folders.
DWORD removeEntry(const std::wstring& path);

}  // namespace platform::win32
