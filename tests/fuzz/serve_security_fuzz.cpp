// The browser host's request checks on any header a browser, a foreign page or another local
// user could send: only the exact loopback Host and origin pass, tokens match only themselves,
// and the token never survives in an address it was taken out of.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "shell/serve_security.h"

namespace {

// Splits the input into fields at line feeds; missing fields are empty.
std::vector<std::string_view> fields(std::string_view input, std::size_t count) {
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        std::size_t at = input.find('\n');
        if (at == std::string_view::npos) break;
        out.push_back(input.substr(0, at));
        input.remove_prefix(at + 1);
    }
    out.push_back(input);
    out.resize(count);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int port = 1 + (data[0] << 8 | data[1]) % 65535;
    std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
    auto f = fields(input, 6);
    std::string_view host = f[0], origin = f[1], token = f[2], expected = f[3], cookie = f[4],
                     target = f[5];

    const std::string authority = "127.0.0.1:" + std::to_string(port);
    FUZZ_CHECK(hostAllowed(host, port) == (host == authority));
    FUZZ_CHECK(originAllowed(origin, port) == (origin == "http://" + authority));
    FUZZ_CHECK(tokensEqual(token, expected) == (!expected.empty() && token == expected));
    isJsonContentType(host);

    // A cookie found is one the header really holds under that name.
    const std::string name = tokenCookieName(port);
    if (auto value = cookieValue(cookie, name)) {
        FUZZ_CHECK(cookie.find(name) != std::string_view::npos);
        FUZZ_CHECK(cookie.find(*value) != std::string_view::npos);
    }
    // The cookie we hand out reads back as the token, whatever else the header holds.
    if (token.find_first_of(";= \t") == std::string_view::npos && !token.empty()) {
        std::string header = std::string(cookie) + "; " + tokenSetCookie(port, token);
        header = header.substr(0, header.find("; Path="));
        if (cookieValue(cookie, name) == std::nullopt)
            FUZZ_CHECK(cookieValue(header, name) == token);
    }

    RequestTarget split = splitTarget(target);
    FUZZ_CHECK(split.path.find('?') == std::string::npos);
    FUZZ_CHECK(split.path + (target.find('?') == std::string_view::npos ? "" : "?" + split.query) ==
               target);
    const std::string rest = queryWithout(split.query, "token");
    FUZZ_CHECK(!queryValue(rest, "token"));
    return 0;
}
