#pragma once
#include <cstddef>
#include <string_view>

// The text rules of what the hosts read from browsers (header names, media types, cookies,
// host names): ASCII, whatever the locale says.
namespace platform {

inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
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
