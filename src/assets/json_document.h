#pragma once
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace assets {

// Objects keep their members in the order they were built or read: owners open inspect.json
// and manifest.json to see what was found, and a species definition's texture members are
// prepared in the order the owner wrote them.
using Json = nlohmann::ordered_json;

// The document, or nothing when the text is not valid JSON. The species definition is written
// by the page and may be edited by hand, so it is read as browsers read it: a UTF-8 byte order
// mark is allowed, the last member wins when a key repeats, and bytes that are not UTF-8 and a
// lone surrogate escape become U+FFFD.
std::optional<Json> parseJson(std::string_view text);

// Indented JSON (two blanks per level) with a final line end. Bytes that are not UTF-8 become
// U+FFFD, so a file name in a foreign code page still gives valid JSON.
std::string jsonText(const Json& document);

// A measured number as people write it: at most three decimals (seconds to the millisecond,
// lengths to the hundredth of a mm) and a whole number without a fraction ("2", not "2.0").
// Not finite numbers, which JSON cannot hold, become 0.
Json roundedNumber(double number);

}  // namespace assets
