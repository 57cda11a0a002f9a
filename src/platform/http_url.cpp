#include "platform/http_url.h"

#include "platform/ascii.h"

namespace platform {
namespace {

constexpr std::size_t maxHost = 255;
constexpr std::size_t maxPathOrQuery = 2047;

bool isHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isIpv6Character(char c) {
    return (c >= '0' && c <= '9') || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f') || c == ':' ||
           c == '.';
}

bool hasBlankOrControl(std::string_view text) {
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) return true;
    }
    return false;
}

// "[...]" holding an IPv6 address, or a host name.
bool isHost(std::string_view host) {
    if (host.empty() || host.size() > maxHost) return false;
    if (host.front() == '[') {
        if (host.size() < 4 || host.back() != ']') return false;
        const std::string_view inside = host.substr(1, host.size() - 2);
        for (char c : inside)
            if (!isIpv6Character(c)) return false;
        return inside.find(':') != std::string_view::npos;
    }
    for (char c : host)
        if (!isHostNameCharacter(c)) return false;
    return true;
}

// An empty port means the scheme's own, as the URL syntax allows.
std::optional<std::uint16_t> parsePort(std::string_view digits, std::uint16_t standard) {
    if (digits.empty()) return standard;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string percentEncodeBeyondAscii(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

}  // namespace

std::optional<UrlParts> splitUrl(std::string_view url) {
    if (hasBlankOrControl(url)) return std::nullopt;
    const std::size_t mark = url.find("://");
    if (mark == std::string_view::npos) return std::nullopt;
    UrlParts parts;
    const std::string_view scheme = url.substr(0, mark);
    if (equalsIgnoringAsciiCase(scheme, "https")) {
        parts.secure = true;
    } else if (!equalsIgnoringAsciiCase(scheme, "http")) {
        return std::nullopt;
    }
    std::string_view rest = url.substr(mark + 3);
    rest = rest.substr(0, rest.find('#'));
    const std::size_t authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view pathAndQuery =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }

    // The port follows the last colon, unless that colon is inside an IPv6 address.
    std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) != std::string_view::npos) {
        colon = std::string_view::npos;
    }
    parts.host = std::string(authority.substr(0, colon));
    if (!isHost(parts.host)) return std::nullopt;
    const std::string_view portText =
        colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1);
    const std::optional<std::uint16_t> port = parsePort(portText, parts.secure ? 443 : 80);
    if (!port) return std::nullopt;
    parts.port = *port;
    parts.portWritten = !portText.empty();

    const std::size_t question = pathAndQuery.find('?');
    const std::string path = percentEncodeBeyondAscii(pathAndQuery.substr(0, question));
    const std::string query = question == std::string_view::npos
                                  ? std::string()
                                  : percentEncodeBeyondAscii(pathAndQuery.substr(question + 1));
    if (path.size() > maxPathOrQuery || query.size() > maxPathOrQuery) return std::nullopt;
    parts.target = path.empty() ? "/" : path;
    if (question != std::string_view::npos) parts.target += "?" + query;
    return parts;
}

std::optional<std::string> sendableUrl(std::string_view url) {
    const std::optional<UrlParts> parts = splitUrl(url);
    if (!parts) return std::nullopt;
    std::string rebuilt = (parts->secure ? "https://" : "http://") + parts->host;
    if (parts->portWritten) rebuilt += ":" + std::to_string(parts->port);
    return rebuilt + parts->target;
}

}  // namespace platform
