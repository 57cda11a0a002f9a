// base64Decode on anything the page sends, and back from our own encoding of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/base64.h"
#include "fuzz_check.h"

namespace {

std::string encode(std::string_view bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                     static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += alphabet[(v >> shift) & 63];
    }
    if (std::size_t left = bytes.size() - i) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += left == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Six bits per character at most, so never more bytes than three per four characters.
    FUZZ_CHECK(bridge::base64Decode(bytes).size() <= size * 3 / 4);
    const std::string encoded = encode(bytes);
    FUZZ_CHECK(bridge::base64Decode(encoded) == bytes);
    // Line breaks and blanks, as a wrapped payload has them, change nothing.
    std::string wrapped;
    for (std::size_t i = 0; i < encoded.size(); ++i)
        wrapped += i % 76 == 75 ? std::string("\r\n") + encoded[i] : std::string(1, encoded[i]);
    FUZZ_CHECK(bridge::base64Decode(wrapped) == bytes);
    return 0;
}
