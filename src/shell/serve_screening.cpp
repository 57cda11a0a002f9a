#include "shell/page_shim.h"
#include "shell/serve_host_impl.h"
#include "shell/serve_security.h"

// Who may ask the browser host for anything: the checks every request passes before any
// route sees it.

namespace serve_detail {

void refuse(platform::ServerResponse& res, int status) {
    res.status = status;
    res.setContent(status == 404 ? "Not found\n" : "Forbidden\n", "text/plain");
}

platform::ServerResponse refusal(int status) {
    platform::ServerResponse res;
    refuse(res, status);
    return res;
}

bool isReading(const platform::ServerRequest& req) {
    return req.method == "GET" || req.method == "HEAD";
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace serve_detail

using namespace serve_detail;

platform::HttpServer::Screening ServeHost::Impl::screen(const Request& req) {
    if (req.headerCount("Host") != 1 || !hostAllowed(req.header("Host"), port)) {
        return {refusal(403)};
    }
    if (req.target.empty() || req.target.front() != '/') {
        return {refusal(403)};
    }
    RequestTarget target = splitTarget(req.target);
    if (auto given = queryValue(target.query, "token")) {
        if (!isReading(req) || !tokensEqual(*given, token)) {
            return {refusal(403)};
        }
        // The token leaves the query at once, so it is not kept in what the page shows or
        // passes on. It comes back after "#", which the browser keeps for the page and never
        // sends: the page takes it from there. The cookie then loads the page's files. The
        // address is absolute so that a path such as //elsewhere cannot send the browser to
        // another host.
        std::string rest = queryWithout(target.query, "token");
        platform::ServerResponse res;
        res.status = 303;
        res.setHeader("Location", "http://" + loopbackAuthority(port) + target.path +
                                      (rest.empty() ? "" : "?" + rest) + "#token=" + token);
        res.setHeader("Set-Cookie", tokenSetCookie(port, sessionCookie));
        res.setHeader("Cache-Control", "no-store");
        return {std::move(res)};
    }
    if (!hasSessionCookie(req)) {
        return {refusal(403)};
    }
    // The cookie may be known to other local web services, and a body is read into memory
    // whole: only the page's posts, which show the token, may bring one.
    if (isReading(req) && platform::bodyFraming(req).bytes > 0) return {refusal(403)};
    if (!isReading(req)) {
        if (req.headerCount("Origin") != 1 || !originAllowed(req.header("Origin"), port) ||
            !isJsonContentType(req.header("Content-Type")) || !hasPageKey(req, false)) {
            return {refusal(403)};
        }
    }
    // The cookie alone opens the files, and other local web services may know it: such
    // connections are capped. The token opens everything and only the page has it.
    return {std::nullopt, hasPageKey(req, true)};
}

bool ServeHost::Impl::hasSessionCookie(const Request& req) const {
    const std::string name = tokenCookieName(port);
    std::size_t count = req.headerCount("Cookie");
    for (std::size_t i = 0; i < count; ++i) {
        auto value = cookieValue(req.header("Cookie", i), name);
        if (value && tokensEqual(*value, sessionCookie)) return true;
    }
    return false;
}

bool ServeHost::Impl::hasPageKey(const Request& req, bool inQuery) const {
    const std::string header(kPageKeyHeader);
    if (req.headerCount(header) == 1) return tokensEqual(req.header(header), token);
    if (!inQuery) return false;
    auto given = queryValue(splitTarget(req.target).query, kPageKeyParameter);
    return given && tokensEqual(*given, token);
}

const std::string& ServeHost::sessionCookie() const {
    return impl_->sessionCookie;
}
