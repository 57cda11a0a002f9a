#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The ASCII text rules: what the hosts read from browsers (header names, media types, cookies,
// host names) and file names compared as Windows compares them. ASCII, whatever the locale
// says.
namespace platform {

inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with its ASCII letters in lower case; other bytes, UTF-8 included, unchanged.
inline std::string lowerAsciiText(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = lowerAscii(c);
    return lower;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

inline bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           equalsIgnoringAsciiCase(text.substr(text.size() - ending.size()), ending);
}

// The value of one hexadecimal digit, either case; -1 for any other character.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// True when the text holds a control character other than tab (C0 or DEL). Such characters
// never belong in a name, a setting or a header value, and could split a line.
inline bool hasControlCharacter(std::string_view text) {
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
    }
    return false;
}

// The text without the spaces and tabs at either end.
inline std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace platform
