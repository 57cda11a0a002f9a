#include "platform/win32/system_folder.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform::win32 {

std::string systemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return fromWide(std::wstring_view(folder, length));
}

}  // namespace platform::win32
