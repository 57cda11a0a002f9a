#include "shell/page_shim.h"
#include "shell/serve_host_impl.h"
#include "shell/serve_security.h"

// Who may ask the browser host for anything: the checks every request passes before any
// route sees it.

namespace serve_detail {

void refuse(Response& res, int status) {
    res.status = status;
    res.set_content(status == 404 ? "Not found\n" : "Forbidden\n", "text/plain");
}

bool isReading(const Request& req) {
    return req.method == "GET" || req.method == "HEAD";
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace serve_detail

using namespace serve_detail;

Screened ServeHost::Impl::screen(const Request& req, Response& res) {
    if (req.get_header_value_count("Host") != 1 ||
        !hostAllowed(req.get_header_value("Host"), port)) {
        refuse(res, 403);
        return Screened::Handled;
    }
    if (req.target.empty() || req.target.front() != '/') {
        refuse(res, 403);
        return Screened::Handled;
    }
    RequestTarget target = splitTarget(req.target);
    if (auto given = queryValue(target.query, "token")) {
        if (!isReading(req) || !tokensEqual(*given, token)) {
            refuse(res, 403);
            return Screened::Handled;
        }
        // The token leaves the query at once, so it is not kept in what the page shows or
        // passes on. It comes back after "#", which the browser keeps for the page and never
        // sends: the page takes it from there. The cookie then loads the page's files. The
        // address is absolute so that a path such as //elsewhere cannot send the browser to
        // another host.
        std::string rest = queryWithout(target.query, "token");
        res.status = 303;
        res.set_header("Location", "http://" + loopbackAuthority(port) + target.path +
                                       (rest.empty() ? "" : "?" + rest) + "#token=" + token);
        res.set_header("Set-Cookie", tokenSetCookie(port, sessionCookie));
        res.set_header("Cache-Control", "no-store");
        return Screened::Handled;
    }
    if (!hasSessionCookie(req)) {
        refuse(res, 403);
        return Screened::Handled;
    }
    if (!isReading(req)) {
        if (req.get_header_value_count("Origin") != 1 ||
            !originAllowed(req.get_header_value("Origin"), port) ||
            !isJsonContentType(req.get_header_value("Content-Type")) || !hasPageKey(req, false)) {
            refuse(res, 403);
            return Screened::Handled;
        }
    }
    return Screened::Unhandled;
}

bool ServeHost::Impl::hasSessionCookie(const Request& req) const {
    const std::string name = tokenCookieName(port);
    std::size_t count = req.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < count; ++i) {
        auto value = cookieValue(req.get_header_value("Cookie", i), name);
        if (value && tokensEqual(*value, sessionCookie)) return true;
    }
    return false;
}

bool ServeHost::Impl::hasPageKey(const Request& req, bool inQuery) const {
    const std::string header(kPageKeyHeader);
    if (req.get_header_value_count(header) == 1)
        return tokensEqual(req.get_header_value(header), token);
    if (!inQuery) return false;
    auto given = queryValue(splitTarget(req.target).query, kPageKeyParameter);
    return given && tokensEqual(*given, token);
}

const std::string& ServeHost::sessionCookie() const {
    return impl_->sessionCookie;
}
