#include "bridge/random_token.h"

#include <vector>

#include "platform/random.h"

std::string randomHex(int count) {
    if (count < 1) return {};
    static const char digits[] = "0123456789abcdef";
    std::vector<unsigned char> bytes(static_cast<size_t>(count));
    platform::randomBytes(bytes.data(), bytes.size());
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}
