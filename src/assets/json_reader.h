#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace assets {

// A parsed JSON value. The species definition is written by the page and may be edited by
// hand, so the whole document is parsed properly rather than searched for text.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member `name` of an object (the last one when a key repeats, as browsers read it);
    // nullptr for a missing member or when this is not an object.
    const JsonValue* find(std::string_view name) const;
};

// The document, or nothing when the text is not valid JSON (a UTF-8 byte order mark is allowed).
std::optional<JsonValue> parseJson(std::string_view text);

}  // namespace assets
