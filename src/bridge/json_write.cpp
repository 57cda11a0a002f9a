#include "bridge/json_write.h"

#include <algorithm>
#include <string>

#include "bridge/json_escape_kernels.h"

namespace bridge {

namespace {

// Input escaped per step into room claimed ahead for its worst case.
constexpr std::size_t kSlice = 16 * 1024;
static_assert(json_escape::room(kSlice) == kJsonEscapeReach);

// Where text may be cut so that escaping the two parts one after the other gives the bytes
// escaping the whole does: not inside a character that the bytes after the cut could still
// complete. Only the last three bytes before `end` can start one.
std::size_t safeCut(std::string_view text, std::size_t end) {
    for (std::size_t q = end > 3 ? end - 3 : 0; q < end; ++q) {
        const auto c = static_cast<unsigned char>(text[q]);
        const std::size_t needs = c >= 0xC2 && c <= 0xDF   ? 2
                                  : c >= 0xE0 && c <= 0xEF ? 3
                                  : c >= 0xF0 && c <= 0xF4 ? 4
                                                           : 1;
        if (q + needs > end) return q;
    }
    return end;
}

void appendEscapedSlice(std::string& out, std::string_view slice) {
    const std::size_t used = out.size();
    out.resize_and_overwrite(
        used + json_escape::room(slice.size()), [&](char* buffer, std::size_t) {
            return static_cast<std::size_t>(json_escape::fastest()(buffer + used, slice) - buffer);
        });
}

}  // namespace

std::size_t appendJsonEscapedPart(std::string& out, std::string_view text) {
    const std::size_t end = safeCut(text, text.size());
    appendJsonEscaped(out, text.substr(0, end));
    return end;
}

void appendJsonEscaped(std::string& out, std::string_view text) {
    while (text.size() > kSlice) {
        const std::size_t cut = safeCut(text, kSlice);
        appendEscapedSlice(out, text.substr(0, cut));
        text.remove_prefix(cut);
    }
    appendEscapedSlice(out, text);
}

std::string jsonEscape(std::string_view text) {
    std::string out;
    // Room for the worst case of a short text; a long one is reserved at its size and a
    // little more, and grows only when it is escape-dense.
    out.reserve(
        std::min(json_escape::room(text.size()), text.size() + text.size() / 8 + kJsonEscapeReach));
    appendJsonEscaped(out, text);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    appendJsonEscaped(out, text);
    out += '"';
}

}  // namespace bridge
