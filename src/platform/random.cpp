#include "platform/random.h"

namespace platform {

std::string randomHexDigits(std::size_t count) {
    static const char hex[] = "0123456789abcdef";
    std::string noise(count, '\0');
    randomBytes(reinterpret_cast<unsigned char*>(noise.data()), count);
    std::string digits;
    digits.reserve(count * 2);
    for (unsigned char b : noise) {
        digits += hex[b >> 4];
        digits += hex[b & 15];
    }
    return digits;
}

}  // namespace platform
