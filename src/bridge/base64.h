#pragma once
#include <string>
#include <string_view>

namespace bridge {

// Decodes standard base64. Characters outside the alphabet are skipped, the first '=' ends the
// input and left-over bits are dropped; it never fails, bad input just gives other bytes.
std::string base64Decode(std::string_view text);

}  // namespace bridge
