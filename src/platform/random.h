#pragma once
#include <cstddef>

namespace platform {

// Fills `out` with bytes from the kernel's cryptographic random source. Never fails short:
// it retries on interruption and aborts only if the source is unusable.
void randomBytes(unsigned char* out, std::size_t count);

}  // namespace platform
