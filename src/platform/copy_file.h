#pragma once
#include <string>

#include "platform/result.h"

namespace platform {

// Copies the file at `from` (a link followed) to `to`, replacing a file already there. On
// Windows the system copies: the C++ library there takes any two files for the same one and
// refuses to replace.
Result<> copyFileReplacing(const std::string& from, const std::string& to);

}  // namespace platform
