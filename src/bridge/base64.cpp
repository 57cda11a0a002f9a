#include "bridge/base64.h"

#include <array>

namespace bridge {

namespace {

constexpr std::array<signed char, 256> makeIndex() {
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<signed char, 256> index{};
    for (auto& v : index)
        v = -1;
    for (int i = 0; i < 64; ++i)
        index[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return index;
}

constexpr std::array<signed char, 256> kIndex = makeIndex();

}  // namespace

std::string base64Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    unsigned accumulator = 0;
    int bits = -8;
    for (char ch : text) {
        if (ch == '=') break;
        int value = kIndex[static_cast<unsigned char>(ch)];
        if (value < 0) continue;
        accumulator = (accumulator << 6) + static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 0) {
            out += static_cast<char>((accumulator >> bits) & 0xFF);
            bits -= 8;
        }
    }
    return out;
}

}  // namespace bridge
