#pragma once
#include <cstddef>
#include <string_view>

#include "bridge/text.h"

namespace bridge {

// Length of the well-formed character at text[i] (a byte of 0x80 or more), else 0, as
// utf8SequenceLength; the two- and three-byte forms, nearly all non-ASCII text, are checked
// here without a call, for the loops that meet such characters every few bytes.
inline std::size_t wellFormedLength(std::string_view text, std::size_t i) {
    const auto* u = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t left = text.size() - i;
    const unsigned c = u[i];
    auto cont = [&](std::size_t k) { return (u[i + k] & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return left >= 2 && cont(1) ? 2 : 0;
    if (c >= 0xE1 && c <= 0xEF && c != 0xED && left >= 3 && cont(1) && cont(2)) return 3;
    return utf8SequenceLength(text, i);
}

}  // namespace bridge
