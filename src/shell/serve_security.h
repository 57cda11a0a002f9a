#pragma once
#include <optional>
#include <string>
#include <string_view>

// The checks the browser host makes on every request. Another user on the same machine can
// reach a loopback port as easily as the browser can, and any web site the user visits can
// make the browser send requests to it, so nothing is trusted without these checks.

// "127.0.0.1:PORT", the only Host the page is served under. A name such as localhost, or any
// name an outside DNS server could point at this address, is refused: that stops a foreign
// page from rebinding its own name to the loopback address and reading our answers.
std::string loopbackAuthority(int port);

// The Host header is exactly loopbackAuthority(port).
bool hostAllowed(std::string_view host, int port);

// The Origin header of a command is exactly "http://" + loopbackAuthority(port).
bool originAllowed(std::string_view origin, int port);

// A JSON media type ("application/json", parameters allowed). A cross-site form can only send
// form or plain-text types; a script of another site that sends JSON needs a preflight, which
// this host never grants.
bool isJsonContentType(std::string_view contentType);

// Compares two tokens in time that depends only on their lengths, so the time of a refusal
// tells nothing about how much of a guess was right.
bool tokensEqual(std::string_view given, std::string_view expected);

// The name of the cookie that carries the token. Browsers do not keep cookies apart by port,
// so two hosts on different ports would overwrite each other's cookie under one name.
std::string tokenCookieName(int port);

// The Set-Cookie value that hands the token to the browser: not readable by scripts, never
// sent with a request another site starts, valid for the whole host.
std::string tokenSetCookie(int port, std::string_view token);

// The value of the named cookie in a Cookie header; nothing when it is not there.
std::optional<std::string> cookieValue(std::string_view header, std::string_view name);

// A request target split at the first "?": the path as sent (not decoded) and the query.
struct RequestTarget {
    std::string path;
    std::string query;
};
RequestTarget splitTarget(std::string_view target);

// The value of the first query parameter with this name, as sent (not decoded).
std::optional<std::string> queryValue(std::string_view query, std::string_view name);

// The query without any parameter of this name, the others in their order.
std::string queryWithout(std::string_view query, std::string_view name);
