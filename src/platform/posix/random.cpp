#include "platform/random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>

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

}  // namespace platform
