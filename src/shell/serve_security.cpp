#include "shell/serve_security.h"

#include <vector>

#include "platform/ascii.h"

namespace {

using platform::trimBlanks;

// Splits on a separator; empty pieces are kept.
std::vector<std::string_view> splitOn(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    while (true) {
        std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return pieces;
}

}  // namespace

std::string loopbackAuthority(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

bool hostAllowed(std::string_view host, int port) {
    return host == loopbackAuthority(port);
}

bool originAllowed(std::string_view origin, int port) {
    return origin == "http://" + loopbackAuthority(port);
}

bool isJsonContentType(std::string_view contentType) {
    std::string_view type = trimBlanks(contentType.substr(0, contentType.find(';')));
    return platform::equalsIgnoringAsciiCase(type, "application/json");
}

bool tokensEqual(std::string_view given, std::string_view expected) {
    if (given.size() != expected.size() || expected.empty()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return difference == 0;
}

std::string tokenCookieName(int port) {
    return "forgeset_token_" + std::to_string(port);
}

std::string tokenSetCookie(int port, std::string_view token) {
    return tokenCookieName(port) + "=" + std::string(token) + "; Path=/; HttpOnly; SameSite=Strict";
}

std::optional<std::string> cookieValue(std::string_view header, std::string_view name) {
    for (std::string_view pair : splitOn(header, ';')) {
        pair = trimBlanks(pair);
        std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) continue;
        if (trimBlanks(pair.substr(0, equals)) == name)
            return std::string(trimBlanks(pair.substr(equals + 1)));
    }
    return std::nullopt;
}

RequestTarget splitTarget(std::string_view target) {
    std::size_t question = target.find('?');
    if (question == std::string_view::npos) return {std::string(target), {}};
    return {std::string(target.substr(0, question)), std::string(target.substr(question + 1))};
}

std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
    if (query.empty()) return std::nullopt;
    for (std::string_view pair : splitOn(query, '&')) {
        std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) != name) continue;
        if (equals == std::string_view::npos) return std::string();
        return std::string(pair.substr(equals + 1));
    }
    return std::nullopt;
}

std::string queryWithout(std::string_view query, std::string_view name) {
    std::string kept;
    if (query.empty()) return kept;
    for (std::string_view pair : splitOn(query, '&')) {
        if (pair.substr(0, pair.find('=')) == name) continue;
        if (!kept.empty()) kept += '&';
        kept += pair;
    }
    return kept;
}
