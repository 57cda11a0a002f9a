#include "support/broken_name.h"

#include <windows.h>

#include <filesystem>

#include "platform/win32/wide.h"

bool makeEntryWithBrokenName(const std::string& folder, const std::string& before,
                             const std::string& after, bool asFolder) {
    std::filesystem::create_directories(folder);
    const std::wstring path =
        platform::win32::toWide(folder + "/" + before) + L'\xD800' + platform::win32::toWide(after);
    if (asFolder) return CreateDirectoryW(path.c_str(), nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}
