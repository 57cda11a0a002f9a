#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace bridge {

// Field readers for inbound messages and service replies. They are not a JSON parser: each
// finds the first string that equals `key` (keys of nested objects and values count alike)
// and reads the value after it; text inside a string is never taken for a key. Strings are
// decoded with JSON's escapes (\n, \t, \r, \b, \f, \/, \uXXXX with surrogate pairs; a lone
// surrogate becomes U+FFFD). The page and the build service are written against these rules.

// Whether a string equal to the key stands in the text.
bool jsonHasKey(std::string_view text, std::string_view key);

// The first quoted text after the colon that follows the key, decoded. Empty when not found.
std::string jsonString(std::string_view text, std::string_view key);

// True only when the colon is followed directly by the four letters `true`.
bool jsonBool(std::string_view text, std::string_view key);

// The number after the colon (strtod rules, leading whitespace allowed); `fallback` when
// there is none.
double jsonNumber(std::string_view text, std::string_view key, double fallback);

// The strings between the first `[` after the key and the first `]` outside them, decoded.
std::vector<std::string> jsonStringArray(std::string_view text, std::string_view key);

// The strings of the array at the first `[` of the text, walked as jsonStringArray walks a
// key's array; for documents that are an array themselves, such as the stored species list.
std::vector<std::string> jsonArrayStrings(std::string_view text);

}  // namespace bridge
