#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An absolute http or https URL taken apart as it will be requested. The same rules on every
// system, so an address that one accepts the other does too.
struct UrlParts {
    bool secure = false;  // https
    // As written in the URL; an IPv6 address keeps its brackets, as the Host header needs them.
    std::string host;
    // The port to connect to: the one written, else 80 or 443.
    std::uint16_t port = 0;
    bool portWritten = false;
    // Path and query, at least "/"; bytes beyond ASCII percent-encoded, so every HTTP library
    // sends the same request line.
    std::string target;
};

// Nothing when the URL cannot be split that way: another scheme or none, no host right after
// "://", a blank or control character anywhere, a host of characters no host name has or
// longer than 255, a port outside 1 to 65535, or a path or query longer than 2047. A user
// name, password and fragment are dropped: credentials in the address are not ours to send,
// the service only knows the bearer token.
std::optional<UrlParts> splitUrl(std::string_view url);

// The URL rebuilt from its parts: scheme, host, port when one was written, path and query.
std::optional<std::string> sendableUrl(std::string_view url);

}  // namespace platform
