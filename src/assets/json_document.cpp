#include "assets/json_document.h"

#include <cmath>

namespace assets {

namespace {

// Deep enough for any species definition, shallow enough that a hostile file cannot make the
// program build an absurd tree.
constexpr int kMaxDepth = 200;

// The code unit of the \u escape whose hex digits start at `at`, or -1 when there are none.
int escapedUnit(const std::string& text, size_t at) {
    if (at + 4 > text.size() || text.compare(at - 2, 2, "\\u") != 0) return -1;
    int code = 0;
    for (size_t i = at; i < at + 4; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return -1;
        code = code * 16 + digit;
    }
    return code;
}

// Browsers decode the file with every byte that is not UTF-8 turned into U+FFFD before they
// parse it, where the library would refuse the whole document. Its own writer does that
// replacement, so the text goes out through it as one string and comes back repaired.
std::string withBadBytesReplaced(std::string_view text) {
    std::string quoted = Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
    return Json::parse(quoted).get<std::string>();
}

// JSON's grammar allows a \u escape of a lone surrogate and browsers read it, but the library
// refuses it, so such escapes are turned into U+FFFD first. A backslash can only stand inside a
// string, and there it always starts an escape, so pairing each backslash with the character
// after it finds every escape.
std::string withLoneSurrogatesReplaced(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] != '\\') continue;
        ++i;  // the escaped character, which never starts another escape
        int unit = escapedUnit(out, i + 1);
        if (unit < 0xD800 || unit >= 0xE000) continue;
        int next = escapedUnit(out, i + 7);
        if (unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            i += 10;  // a whole pair: the second escape is read here, not as an escape of its own
        } else {
            out.replace(i + 1, 4, "FFFD");
        }
    }
    return out;
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
    bool tooDeep = false;
    // The library skips a byte order mark itself and, for a repeated key, overwrites the first
    // member's value in place: the last value wins, at the first one's position, as in browsers.
    Json document = Json::parse(
        withLoneSurrogatesReplaced(withBadBytesReplaced(text)),
        [&tooDeep](int depth, Json::parse_event_t, Json&) {
            if (depth > kMaxDepth) tooDeep = true;
            return !tooDeep;
        },
        /*allow_exceptions=*/false);
    if (tooDeep || document.is_discarded()) return std::nullopt;
    return document;
}

std::string jsonText(const Json& document) {
    return document.dump(2, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace) + "\n";
}

Json roundedNumber(double number) {
    if (!std::isfinite(number)) return 0;
    if (std::fabs(number) >= 1e15) return number;
    double r = std::round(number * 1000) / 1000;
    if (r == std::trunc(r)) return static_cast<long long>(r);
    return r;
}

}  // namespace assets
