#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace bridge {

// Escapes text to stand between the quotes of a JSON string: tab, line feed, carriage return,
// quote and backslash as two-character escapes, other control characters as \u00xx. Bytes
// that are not well-formed UTF-8 become U+FFFD, so the result is always valid JSON text.
std::string jsonEscape(std::string_view text);

// Appends jsonEscape(text) to `out`, without an intermediate string.
void appendJsonEscaped(std::string& out, std::string_view text);

// For text that arrives in pieces (a file read a block at a time): appends the escaped form of
// the longest beginning of `text` that does not end inside a character the next piece could
// complete, and returns its length (all but at most three bytes). Escaping piece after piece
// this way, the bytes left over carried to the front of the next, and the last piece with
// appendJsonEscaped, gives exactly jsonEscape of the whole.
std::size_t appendJsonEscapedPart(std::string& out, std::string_view text);

// How far past what it writes appendJsonEscaped may claim room in `out`: a message reserved
// with this much to spare is never moved while text is escaped into it.
inline constexpr std::size_t kJsonEscapeReach = 6 * 16 * 1024 + 64;

// Appends `"` + jsonEscape(text) + `"`.
void appendJsonString(std::string& out, std::string_view text);

// True when the text is exactly one JSON value (RFC 8259), optionally surrounded by
// whitespace, nested at most `maxDepth` deep. It only checks the syntax; no tree is built.
bool isJsonText(std::string_view text, int maxDepth = 256);

}  // namespace bridge
