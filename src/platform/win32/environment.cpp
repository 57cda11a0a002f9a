#include "platform/environment.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

std::optional<std::string> environmentVariable(const std::string& name) {
    const std::wstring wideName = win32::toWide(name);
    // The size with the terminating zero; 0 when the variable is not set (an empty value
    // gives 1).
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    if (length >= size) return std::nullopt;
    value.resize(length);
    return win32::fromWide(value);
}

}  // namespace platform
