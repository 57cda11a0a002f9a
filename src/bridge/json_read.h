#pragma once
#include <string>
#include <string_view>
#include <vector>

// Field readers for inbound messages and service replies. They are not a JSON parser: each
// finds the first `"key"` anywhere in the text (nesting and string boundaries are not
// considered) and reads the value after it. The page and the build service are written
// against exactly these rules.

// The first quoted text after the colon that follows the key. A backslash takes the next
// character literally (no escape translation). Empty when not found.
std::string jsonString(std::string_view text, std::string_view key);

// True only when the colon is followed directly by the four letters `true`.
bool jsonBool(std::string_view text, std::string_view key);

// The number after the colon (strtod rules, leading whitespace allowed); `fallback` when
// there is none.
double jsonNumber(std::string_view text, std::string_view key, double fallback);

// The strings between the first `[` after the key and the first `]`, with \n, \t, \r and
// \uXXXX decoded (a surrogate pair becomes one character, a lone surrogate U+FFFD).
std::vector<std::string> jsonStringArray(std::string_view text, std::string_view key);
