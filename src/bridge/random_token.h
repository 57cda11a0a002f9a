#pragma once
#include <string>

namespace bridge {

// `count` random bytes from the cryptographic source as 2 * count lowercase hex digits;
// empty when count < 1.
std::string randomHex(int count);

}  // namespace bridge
