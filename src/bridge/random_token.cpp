#include "bridge/random_token.h"

#include "platform/random.h"

namespace bridge {

std::string randomHex(int count) {
    if (count < 1) return {};
    return platform::randomHexDigits(static_cast<std::size_t>(count));
}

}  // namespace bridge
