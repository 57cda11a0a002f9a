#include "support/file_facts.h"

#include <windows.h>

#include "platform/win32/wide.h"

const bool kNamesFoldEveryLetter = true;

std::uint64_t hardLinkCount(const std::string& path) {
    HANDLE file = CreateFileW(platform::win32::toWide(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return known ? info.nNumberOfLinks : 0;
}
