#include "platform/random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

void randomBytes(unsigned char* out, std::size_t count) {
    while (count > 0) {
        ssize_t n = ::getrandom(out, count, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A token that is not random would be worse than no program at all.
            std::abort();
        }
        out += n;
        count -= static_cast<std::size_t>(n);
    }
}

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
