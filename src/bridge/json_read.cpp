#include "bridge/json_read.h"

#include <cstdlib>
#include <string>

#include "bridge/text.h"

namespace bridge {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Position of the quote that closes the string whose body starts at `from`: the first quote
// not escaped by an odd run of backslashes; npos when the text ends first.
std::size_t closingQuote(std::string_view text, std::size_t from) {
    for (std::size_t quote = text.find('"', from); quote != npos;
         quote = text.find('"', quote + 1)) {
        std::size_t backslashes = 0;
        while (quote - backslashes > from && text[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0) return quote;
    }
    return npos;
}

// Position just after the first `"key"` whose quotes are a string's own quotes; npos when
// there is none or when it ends the text. Only whole strings are compared, so text inside a
// string, such as the value "\"sv_map", never poses as a key. Which strings are keys is not
// judged (a value equal to the key still counts, and keys of nested objects too), as the page
// and the service replies rely on.
std::size_t afterKey(std::string_view text, std::string_view key) {
    for (std::size_t open = text.find('"'); open != npos; open = text.find('"', open + 1)) {
        std::size_t close = closingQuote(text, open + 1);
        if (close == npos) return npos;
        if (text.substr(open + 1, close - open - 1) == key) {
            return close + 1 >= text.size() ? npos : close + 1;
        }
        open = close;
    }
    return npos;
}

// Position just after the first colon following the key; npos when not found.
std::size_t afterColon(std::string_view text, std::string_view key) {
    std::size_t pos = afterKey(text, key);
    if (pos == npos) return npos;
    std::size_t colon = text.find(':', pos);
    return colon == npos ? npos : colon + 1;
}

// Appends one UTF-16 unit of a \u escape, pairing surrogates; a pending high surrogate that
// meets anything but a low one becomes U+FFFD.
struct Utf16Joiner {
    char16_t pendingHigh = 0;

    void unit(std::string& out, char16_t u) {
        if (u >= 0xDC00 && u <= 0xDFFF && pendingHigh) {
            char32_t c = 0x10000 + ((char32_t(pendingHigh) - 0xD800) << 10) + (u - 0xDC00);
            pendingHigh = 0;
            appendUtf8(out, c);
            return;
        }
        flush(out);
        if (u >= 0xD800 && u <= 0xDBFF) {
            pendingHigh = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            appendUtf8(out, U'\uFFFD');
        } else {
            appendUtf8(out, u);
        }
    }

    void flush(std::string& out) {
        if (pendingHigh) appendUtf8(out, U'\uFFFD');
        pendingHigh = 0;
    }
};

// The value of four characters read as base-16 the way strtol reads them: leading blanks, a
// sign and a 0x prefix are accepted, reading stops at the first other character, and no
// digit at all gives 0. The result is kept to 16 bits like the UTF-16 unit it becomes.
char16_t hexUnit(std::string_view four) {
    char buffer[5] = {four[0], four[1], four[2], four[3], '\0'};
    return static_cast<char16_t>(std::strtol(buffer, nullptr, 16));
}

// Only ASCII can be hex digits; taking four bytes regardless could cut a character in two and
// leave the value ill-formed UTF-8.
bool isAscii(std::string_view four) {
    for (char c : four) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// The character a one-letter escape stands for; any other letter stands for itself.
char escapedCharacter(char letter) {
    switch (letter) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        default:
            return letter;
    }
}

// Decodes a string body from `i` (just after its opening quote) up to the next unescaped
// quote or the end of the text, with JSON's escapes; returns where it stopped. A backslash
// that ends the text is kept.
std::size_t readStringBody(std::string_view text, std::size_t i, std::string& out) {
    Utf16Joiner joiner;
    for (; i < text.size() && text[i] != '"'; ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            joiner.flush(out);
            out += c;
            continue;
        }
        char escaped = text[++i];
        if (escaped == 'u' && i + 4 < text.size() && isAscii(text.substr(i + 1, 4))) {
            joiner.unit(out, hexUnit(text.substr(i + 1, 4)));
            i += 4;
            continue;
        }
        joiner.flush(out);
        out += escapedCharacter(escaped);
    }
    joiner.flush(out);
    return i;
}

}  // namespace

bool jsonHasKey(std::string_view text, std::string_view key) {
    return afterKey(text, key) != npos;
}

std::string jsonString(std::string_view text, std::string_view key) {
    std::size_t pos = afterColon(text, key);
    if (pos == npos) return {};
    std::size_t quote = text.find('"', pos);
    if (quote == npos) return {};
    std::string value;
    readStringBody(text, quote + 1, value);
    return value;
}

bool jsonBool(std::string_view text, std::string_view key) {
    std::size_t pos = afterColon(text, key);
    return pos != npos && text.substr(pos, 4) == "true";
}

double jsonNumber(std::string_view text, std::string_view key, double fallback) {
    std::size_t pos = afterColon(text, key);
    if (pos == npos) return fallback;
    // strtod needs a terminated string; a number is never longer than this, and the cut
    // keeps a 20 MB message from being copied. Leading blanks are allowed, so keep them.
    std::size_t start = pos;
    while (start < text.size() && std::string_view(" \t\n\r\f\v").find(text[start]) != npos) {
        ++start;
    }
    std::string number(text.substr(start, 512));
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    return end == number.c_str() ? fallback : value;
}

std::vector<std::string> jsonStringArray(std::string_view text, std::string_view key) {
    std::size_t pos = afterKey(text, key);
    if (pos == npos) return {};
    return jsonArrayStrings(text.substr(pos));
}

std::vector<std::string> jsonArrayStrings(std::string_view text) {
    std::vector<std::string> items;
    std::size_t open = text.find('[');
    if (open == npos) return items;
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == ']') break;
        if (text[i] != '"') continue;
        std::string item;
        i = readStringBody(text, i + 1, item);
        items.push_back(fromUtf8(item));
    }
    return items;
}

}  // namespace bridge
