#include "bridge/text.h"

#include <cstring>

#include "platform/ascii.h"
#include "platform/unicode.h"

namespace bridge {

namespace {

// How many bytes of a well-formed sequence start at text[i] (the Unicode table of
// well-formed byte sequences), and, when it is ill-formed, how long its longest valid prefix
// is: that prefix becomes one U+FFFD.
struct SequenceCheck {
    std::size_t length;  // 0 when ill-formed
    std::size_t prefix;  // bytes to replace when ill-formed (at least 1)
};

SequenceCheck checkSequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) -> unsigned {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0x100u;
    };
    unsigned b0 = byte(0);
    if (b0 < 0x80) return {1, 0};
    std::size_t need;
    unsigned low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;  // no encoded surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return {0, 1};
    }
    unsigned b1 = byte(1);
    if (b1 < low || b1 > high) return {0, 1};
    for (std::size_t k = 2; k < need; ++k) {
        unsigned b = byte(k);
        if (b < 0x80 || b > 0xBF) return {0, k};
    }
    return {need, 0};
}

// True when none of the eight bytes has its high bit set.
inline bool allAscii8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ull) == 0;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    return checkSequence(text, i).length;
}

std::size_t utf8IllFormedLength(std::string_view text, std::size_t i) {
    std::size_t prefix = checkSequence(text, i).prefix;
    return prefix ? prefix : 1;
}

std::string fromUtf8(std::string_view bytes) {
    // Most text is plain ASCII: find the first byte that needs a look and copy up to it.
    std::size_t i = 0;
    while (i + 8 <= bytes.size() && allAscii8(bytes.data() + i))
        i += 8;
    std::string out;
    out.reserve(bytes.size());
    std::size_t copiedUpTo = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        SequenceCheck check = checkSequence(bytes, i);
        if (check.length) {
            i += check.length;
            continue;
        }
        out.append(bytes.data() + copiedUpTo, i - copiedUpTo);
        out.append("\xEF\xBF\xBD");
        i += check.prefix;
        copiedUpTo = i;
    }
    out.append(bytes.data() + copiedUpTo, bytes.size() - copiedUpTo);
    return out;
}

char32_t decodeUtf8(std::string_view text, std::size_t& i) {
    unsigned char b0 = static_cast<unsigned char>(text[i]);
    std::size_t length = checkSequence(text, i).length;
    if (length <= 1) {
        ++i;
        return length == 1 ? b0 : U'\uFFFD';
    }
    char32_t c = b0 & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (text[i + k] & 0x3F);
    i += length;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size();) {
        decodeUtf8(text, i);
        ++count;
    }
    return count;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(text);
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

bool isPlainName(std::string_view name) {
    if (name.empty() || isReservedDeviceName(name)) return false;
    std::size_t count = 0;
    for (std::size_t i = 0; i < name.size();) {
        if (++count > 40) return false;
        char32_t c = decodeUtf8(name, i);
        if (c == U'_' || c == U'-') continue;
        if (c == U'\uFFFD' || !platform::isLetterOrDigit(c)) return false;
    }
    return true;
}

bool isReservedDeviceName(std::string_view name) {
    // Windows looks at the part before the first dot, and drops blanks at its end.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    for (std::string_view device : {"con", "prn", "aux", "nul"}) {
        if (platform::equalsIgnoringAsciiCase(base, device)) return true;
    }
    if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
    return platform::equalsIgnoringAsciiCase(base.substr(0, 3), "com") ||
           platform::equalsIgnoringAsciiCase(base.substr(0, 3), "lpt");
}

}  // namespace bridge
