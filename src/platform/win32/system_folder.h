#pragma once
#include <string>

namespace platform::win32 {

// The Windows system folder (GetSystemDirectoryW), where the system's own programs such as
// tar.exe live; empty if the system does not say.
std::string systemFolder();

}  // namespace platform::win32
