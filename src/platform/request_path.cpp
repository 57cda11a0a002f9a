#include "platform/request_path.h"

#include "platform/ascii.h"

namespace platform {
namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// One path segment with its escapes decoded once, so "%252e" stays the name "%2e".
std::optional<std::string> decodeSegment(std::string_view raw) {
    std::string decoded;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            int high = hexDigitValue(raw[i + 1]);
            int low = hexDigitValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<unsigned char>(high * 16 + low);
            i += 2;
            if (c == '/' || c == '.') return std::nullopt;
        }
        if (c == '\\' || isControl(c)) return std::nullopt;
        decoded += static_cast<char>(c);
    }
    return decoded;
}

}  // namespace

std::optional<std::string> confinedRelativePath(std::string_view requestPath) {
    if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
    std::string relative;
    std::size_t start = 1;
    while (true) {
        std::size_t end = requestPath.find('/', start);
        std::string_view raw = requestPath.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // An empty segment is a doubled or trailing slash: no file has that name.
        if (raw.empty()) return std::nullopt;
        std::optional<std::string> segment = decodeSegment(raw);
        if (!segment || *segment == "." || *segment == "..") return std::nullopt;
        if (!relative.empty()) relative += '/';
        relative += *segment;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return relative;
}

}  // namespace platform
