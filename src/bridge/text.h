#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace bridge {

// Every string in the tool is UTF-8. fromUtf8 is the one step that turns bytes from disk, a
// child, the network or the page into valid UTF-8.

// Returns the bytes with every ill-formed sequence (stray continuation bytes, overlong forms,
// encoded surrogates, code points above U+10FFFF, cut-off sequences) replaced by U+FFFD, one
// replacement per maximal ill-formed part. Valid input, NUL bytes included, comes back as is.
std::string fromUtf8(std::string_view bytes);

// Strings are already UTF-8; kept so callers read the same at every boundary.
inline std::string toUtf8(std::string_view text) {
    return std::string(text);
}

// Length of the byte sequence starting at `text[i]` when it is one well-formed UTF-8
// character, else 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

// For an ill-formed sequence at `text[i]`: how many bytes one U+FFFD stands for (its longest
// prefix that could begin a valid character, at least 1).
std::size_t utf8IllFormedLength(std::string_view text, std::size_t i);

// Decodes the character at `text[i]` (which must be well-formed) and advances `i`.
char32_t decodeUtf8(std::string_view text, std::size_t& i);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t c);

// Number of characters (code points) in valid UTF-8 text; names are limited in characters.
std::size_t characterCount(std::string_view text);

// Every occurrence of `from` replaced by `to`, searching on after each inserted `to`.
// `from` must not be empty.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// The name rule shared by resources and textures: 1 to 40 characters, each a letter or digit
// of any script, "_" or "-", and not a device name of Windows (isReservedDeviceName).
bool isPlainName(std::string_view name);

// True for the names Windows keeps for devices, which can never be a file or folder there:
// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, in any letter case, alone or before an
// extension ("nul.png"). Server folders move between systems, so every name that becomes a
// file or folder is refused with them, on Linux too.
bool isReservedDeviceName(std::string_view name);

}  // namespace bridge
