// The browser host over real loopback connections: who may ask it for anything at all (the
// token, the cookie, the host and origin it answers).
#include "shell/serve_host_fixture.h"

namespace {

using namespace serve_host_test;

// ---------------------------------------------------------------------------- the token

using ServeToken = ServeHostTest;

TEST_F(ServeToken, RequestsWithoutTheTokenAreRefused) {
    HostUnderTest h(kTestCommands);
    writeText(h.assets() + "/x.png", "PNG");
    for (std::string target : {"/", "/index.html", "/app.js", "/assets/x.png", "/species/x.png",
                               "/_host/events", "/missing", "/?tok=1"}) {
        Reply reply = roundTrip(h.port(), requestText("GET", target, {h.hostHeader()}));
        EXPECT_EQ(reply.status, 403) << target;
        EXPECT_EQ(reply.body.find("<html"), std::string::npos) << target;
        EXPECT_EQ(reply.body.find("PNG"), std::string::npos) << target;
        EXPECT_EQ(reply.count("Set-Cookie"), 0u) << target;
    }
    Reply post = roundTrip(
        h.port(), requestText("POST", "/_host/command",
                              {h.hostHeader(), h.originHeader(), "Content-Type: application/json"},
                              note("without")));
    EXPECT_EQ(post.status, 403);
    EXPECT_EQ(h.post(note("with")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"with"});
}

TEST_F(ServeToken, AWrongTokenIsRefused) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    std::string oneOff = token;
    oneOff.back() = oneOff.back() == '0' ? '1' : '0';
    for (std::string guess :
         {std::string("wrong"), oneOff, token.substr(0, 31), token + "0", std::string()}) {
        Reply reply = roundTrip(h.port(), requestText("GET", "/?token=" + guess, {h.hostHeader()}));
        EXPECT_EQ(reply.status, 403) << guess;
        EXPECT_EQ(reply.count("Set-Cookie"), 0u) << guess;
        EXPECT_EQ(reply.count("Location"), 0u) << guess;
        std::string cookie = "Cookie: forgeset_token_" + std::to_string(h.port()) + "=" + guess;
        reply = roundTrip(h.port(), requestText("GET", "/app.js", {h.hostHeader(), cookie}));
        EXPECT_EQ(reply.status, 403) << guess;
    }
    // The right token under the cookie name of another port is somebody else's cookie.
    std::string otherPort = "Cookie: forgeset_token_" + std::to_string(h.port() + 1) + "=" + token;
    EXPECT_EQ(
        roundTrip(h.port(), requestText("GET", "/app.js", {h.hostHeader(), otherPort})).status,
        403);
    // A good cookie does not make a wrong token in the address right.
    EXPECT_EQ(roundTrip(h.port(), requestText("GET", "/?token=wrong", h.page())).status, 403);
}

TEST_F(ServeToken, TheRightTokenSetsTheCookieAndMovesToWhereOnlyThePageSeesIt) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    Reply reply = roundTrip(h.port(), requestText("GET", "/?token=" + token, {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"), "http://" + h.authority() + "/#token=" + token);
    // The cookie is not the token: every port of 127.0.0.1 receives it.
    EXPECT_NE(h.host->sessionCookie(), token);
    EXPECT_EQ(reply.header("Set-Cookie"), "forgeset_token_" + std::to_string(h.port()) + "=" +
                                              h.host->sessionCookie() +
                                              "; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(reply.header("Cache-Control"), "no-store");

    reply = roundTrip(
        h.port(), requestText("GET", "/index.html?x=1&token=" + token + "&y=2", {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"),
              "http://" + h.authority() + "/index.html?x=1&y=2#token=" + token);

    // The cookie as the browser sends it back opens the page's files.
    std::string setCookie = reply.header("Set-Cookie");
    std::string cookie = "Cookie: " + setCookie.substr(0, setCookie.find(';'));
    reply = roundTrip(h.port(), requestText("GET", "/", {h.hostHeader(), cookie}));
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("<html"), std::string::npos);
    EXPECT_EQ(reply.body.find(token), std::string::npos) << "the page must not hand out the token";
    reply = roundTrip(h.port(), requestText("GET", "/app.js",
                                            {h.hostHeader(), "Cookie: a=b; " + cookie.substr(8)}));
    EXPECT_EQ(reply.status, 200);
}

TEST_F(ServeToken, TheRedirectNeverLeavesThisHost) {
    HostUnderTest h(kTestCommands);
    Reply reply = roundTrip(
        h.port(),
        requestText("GET", "//evil.example/x?token=" + h.host->token(), {h.hostHeader()}));
    EXPECT_EQ(reply.status, 303);
    EXPECT_EQ(reply.header("Location"),
              "http://" + h.authority() + "//evil.example/x#token=" + h.host->token());
}

TEST_F(ServeToken, EachRunHasAFreshTokenInTheAddressToOpen) {
    HostUnderTest first(kTestCommands);
    HostUnderTest second(kTestCommands);
    std::smatch match;
    std::string url = first.host->url();
    ASSERT_TRUE(std::regex_match(url, match,
                                 std::regex(R"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))")))
        << url;
    EXPECT_EQ(match[1], std::to_string(first.port()));
    EXPECT_EQ(match[2], first.host->token());
    EXPECT_NE(first.host->token(), second.host->token());
    // One run's cookie opens nothing on the other.
    std::string cookie = "Cookie: forgeset_token_" + std::to_string(second.port()) + "=" +
                         first.host->sessionCookie();
    EXPECT_EQ(
        roundTrip(second.port(), requestText("GET", "/", {second.hostHeader(), cookie})).status,
        403);
}

TEST_F(ServeToken, CommandsAndTheStreamNeedTheTokenBesideTheCookie) {
    HostUnderTest h(kTestCommands);
    const std::string& token = h.host->token();
    const std::string jsonType = "Content-Type: application/json";
    struct Case {
        const char* name;
        std::string target;
        std::vector<std::string> headers;
    };
    // What another local web service learns from the owner's browser (the cookie), and what
    // a guess or an address adds to it, runs nothing.
    const std::vector<Case> refused = {
        {"cookie alone", "/_host/command", {h.cookieHeader()}},
        {"token in the address", "/_host/command?token=" + token, {h.cookieHeader()}},
        {"key in the address", "/_host/command?key=" + token, {h.cookieHeader()}},
        {"wrong key", "/_host/command", {h.cookieHeader(), "X-Forgeset-Token: " + token + "0"}},
        {"two keys", "/_host/command", {h.cookieHeader(), h.keyHeader(), "X-Forgeset-Token: x"}},
        {"key without cookie", "/_host/command", {h.keyHeader()}},
        {"token as cookie",
         "/_host/command",
         {"Cookie: forgeset_token_" + std::to_string(h.port()) + "=" + token, h.keyHeader()}},
    };
    for (Case c : refused) {
        c.headers.insert(c.headers.end(), {h.hostHeader(), h.originHeader(), jsonType});
        EXPECT_EQ(
            roundTrip(h.port(), requestText("POST", c.target, c.headers, note(c.name))).status, 403)
            << c.name;
    }
    EXPECT_EQ(h.post(note("with-both")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"with-both"});
    // Nor may the cookie alone bring a body, which would be read into memory whole.
    auto getWithBody = [&](const std::string& body) {
        std::string request = requestText("GET", "/index.html", {h.hostHeader(), h.cookieHeader()});
        request.insert(request.find("\r\n") + 2,
                       "Content-Length: " + std::to_string(body.size()) + "\r\n");
        return roundTrip(h.port(), request + body).status;
    };
    EXPECT_EQ(getWithBody(std::string(1000, 'x')), 403);
    EXPECT_EQ(getWithBody(""), 200);

    EventReader cookieOnly(h.port(), {h.hostHeader(), h.cookieHeader()});
    EXPECT_EQ(cookieOnly.reply().status, 403);
    EventReader wrongKey(h.port(), {h.hostHeader(), h.cookieHeader()}, "/_host/events?key=x");
    EXPECT_EQ(wrongKey.reply().status, 403);
    // An event source cannot set headers: the page shows the token in the query.
    EventReader page(h.port(), {h.hostHeader(), h.cookieHeader()}, "/_host/events?key=" + token);
    EXPECT_TRUE(page.connected());
}

// ----------------------------------------------------------------------- host and origin

using ServeHostHeader = ServeHostTest;

TEST_F(ServeHostHeader, OnlyTheLoopbackAddressWithThePortIsServed) {
    HostUnderTest h(kTestCommands);
    std::string port = std::to_string(h.port());
    std::string cookie = h.cookieHeader();
    std::vector<std::vector<std::string>> wrong = {
        {"Host: localhost:" + port, cookie},
        {"Host: LOCALHOST:" + port, cookie},
        {"Host: localhost", cookie},
        {"Host: 127.0.0.1", cookie},
        {"Host: 127.0.0.1:" + std::to_string(h.port() + 1), cookie},
        {"Host: evil.example:" + port, cookie},
        {"Host: evil.example", cookie},
        {"Host: [::1]:" + port, cookie},
        {cookie},
        {h.hostHeader(), "Host: evil.example", cookie},
        {h.hostHeader(), h.hostHeader(), cookie},
    };
    for (const auto& headers : wrong) {
        Reply reply = roundTrip(h.port(), requestText("GET", "/", headers));
        EXPECT_EQ(reply.status, 403) << headers[0];
        EXPECT_EQ(reply.body.find("<html"), std::string::npos) << headers[0];
    }
    EXPECT_EQ(roundTrip(h.port(), requestText("GET", "/", {h.hostHeader(), cookie})).status, 200);

    // The cookie is not handed out under a foreign name either.
    Reply reply = roundTrip(
        h.port(), requestText("GET", "/?token=" + h.host->token(), {"Host: localhost:" + port}));
    EXPECT_EQ(reply.status, 403);
    EXPECT_EQ(reply.count("Set-Cookie"), 0u);

    // Nor are commands taken.
    reply = roundTrip(h.port(), requestText("POST", "/_host/command",
                                            {"Host: localhost:" + port, cookie, h.originHeader(),
                                             "Content-Type: application/json"},
                                            note("rebound")));
    EXPECT_EQ(reply.status, 403);
    EXPECT_EQ(h.post(note("direct")).status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"direct"});
}

TEST_F(ServeHostHeader, ListensOnTheLoopbackAddressOnly) {
    // On this machine another loopback address must be reachable when something listens on
    // all addresses, or the check below proves nothing.
    int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    socklen_t size = sizeof any;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(::listen(probe, 1), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&any), &size);
    int control = connectTo(ntohs(any.sin_port), "127.0.0.2");
    ::close(probe);
    if (control < 0) GTEST_SKIP() << "127.0.0.2 is not reachable here";
    ::close(control);

    HostUnderTest h(kTestCommands);
    int other = connectTo(h.port(), "127.0.0.2");
    EXPECT_LT(other, 0);
    if (other >= 0) ::close(other);
    int loopback = connectTo(h.port(), "127.0.0.1");
    EXPECT_GE(loopback, 0);
    if (loopback >= 0) ::close(loopback);
}

using ServeOrigin = ServeHostTest;

TEST_F(ServeOrigin, CommandsMustComeFromThePageItself) {
    HostUnderTest h(kTestCommands);
    std::string port = std::to_string(h.port());
    std::string jsonType = "Content-Type: application/json";
    std::vector<std::pair<std::string, std::vector<std::string>>> refused = {
        {"no-origin", {jsonType}},
        {"other-site", {"Origin: http://evil.example", jsonType}},
        {"localhost", {"Origin: http://localhost:" + port, jsonType}},
        {"null", {"Origin: null", jsonType}},
        {"other-port", {"Origin: http://127.0.0.1:" + std::to_string(h.port() + 1), jsonType}},
        {"https", {"Origin: https://127.0.0.1:" + port, jsonType}},
        {"two-origins", {h.originHeader(), "Origin: http://evil.example", jsonType}},
        {"plain-text", {h.originHeader(), "Content-Type: text/plain"}},
        {"form", {h.originHeader(), "Content-Type: application/x-www-form-urlencoded"}},
        {"multipart", {h.originHeader(), "Content-Type: multipart/form-data; boundary=x"}},
        {"no-type", {h.originHeader()}},
    };
    for (auto& [name, headers] : refused) {
        headers.push_back(h.hostHeader());
        headers.push_back(h.cookieHeader());
        headers.push_back(h.keyHeader());
        Reply reply =
            roundTrip(h.port(), requestText("POST", "/_host/command", headers, note(name)));
        EXPECT_EQ(reply.status, 403) << name;
    }
    Reply reply = roundTrip(
        h.port(), requestText("POST", "/_host/command",
                              {h.hostHeader(), h.cookieHeader(), h.keyHeader(), h.originHeader(),
                               "Content-Type: application/json; charset=UTF-8"},
                              note("same-origin")));
    EXPECT_EQ(reply.status, 204);
    EXPECT_EQ(recorded().waitFor(1), std::vector<std::string>{"same-origin"});
}

}  // namespace
