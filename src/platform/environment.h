#pragma once
#include <optional>
#include <string>

namespace platform {

// The value of an environment variable as UTF-8 (on Windows read as UTF-16, since the C
// runtime's copy is in the ANSI code page and loses what that cannot hold); nothing when it
// is not set.
std::optional<std::string> environmentVariable(const std::string& name);

}  // namespace platform
