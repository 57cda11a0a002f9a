#pragma once
#include <cstddef>
#include <string>

namespace platform {

// Fills `out` with bytes from the kernel's cryptographic random source. Never fails short:
// it retries on interruption and aborts only if the source is unusable.
void randomBytes(unsigned char* out, std::size_t count);

// `count` random bytes as 2 * count lowercase hex digits, for names of temporary files that
// no other writer can guess or take.
std::string randomHexDigits(std::size_t count);

}  // namespace platform
