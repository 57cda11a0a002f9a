#include "platform/random.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

void randomBytes(unsigned char* out, std::size_t count) {
    while (count > 0) {
        // The call counts in ULONG; a larger request is filled in pieces.
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(count, 1u << 30));
        if (!BCRYPT_SUCCESS(
                ::BCryptGenRandom(nullptr, out, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            // A token that is not random would be worse than no program at all.
            std::abort();
        }
        out += piece;
        count -= piece;
    }
}

}  // namespace platform
