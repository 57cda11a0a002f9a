#pragma once
#include <filesystem>

#include "platform/result.h"

namespace platform {

// Copies the file at `from` to `to`, replacing a file already there. Paths as the file
// system gives them, so nothing is converted on the way. On Windows the system copies: the
// C++ library there takes any two files for the same one and refuses to replace.
Result<> copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace platform
