// What the browser host makes of a request's head: what a browser sends reads back exactly,
// and every form a browser never sends is refused rather than guessed at.
#include "platform/http_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::BodyFraming;
using platform::ServerRequest;

TEST(HttpMessage, HeadsReadBackAsSentOrAreRefused) {
    const std::string hundredLines = [] {
        std::string lines;
        for (int i = 0; i < 101; ++i)
            lines += "X-" + std::to_string(i) + ": v\r\n";
        return lines;
    }();
    struct Case {
        std::string head;
        bool accepted;
    } cases[] = {
        {"GET /a?b=c HTTP/1.1\r\nHost: 127.0.0.1:1\r\nCookie: x=y; z=w\r\n\r\n", true},
        {"GET / HTTP/1.1\nHost: h\n\n", true},
        {"GET / HTTP/1.0\r\n\r\n", true},
        {"POST /x HTTP/1.1\r\nX-Utf8: d\xc3\xa9j\xc3\xa0\r\nX-Tab: a\tb\r\n\r\n", true},
        {"GET / HTTP/2.0\r\n\r\n", false},
        {"GET / HTTP/1.1 \r\n\r\n", false},
        {"GET  / HTTP/1.1\r\n\r\n", false},
        {"GET /a b HTTP/1.1\r\n\r\n", false},
        {"GET /\x01 HTTP/1.1\r\n\r\n", false},
        {"G(T / HTTP/1.1\r\n\r\n", false},
        {"\r\nGET / HTTP/1.1\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nNoColon\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nX: a\rb\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nX: a\x7f\r\n\r\n", false},
        {"GET / HTTP/1.1\r\n" + hundredLines + "\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        std::optional<std::size_t> length = platform::headLength(c.head + "BODY");
        ASSERT_EQ(length, c.head.size());
        std::optional<ServerRequest> request = platform::parseHead(c.head.substr(0, *length));
        EXPECT_EQ(request.has_value(), c.accepted);
    }

    std::optional<ServerRequest> request = platform::parseHead(
        "POST /a%20b?c HTTP/1.1\r\nHost:  127.0.0.1:80 \r\nCookie: a\r\ncookie: b\r\n\r\n");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->target, "/a%20b?c");
    EXPECT_EQ(request->header("host"), "127.0.0.1:80");
    EXPECT_EQ(request->headerCount("COOKIE"), 2u);
    EXPECT_EQ(request->header("Cookie", 1), "b");
    EXPECT_EQ(request->header("Cookie", 2), "");
    EXPECT_FALSE(platform::headLength("GET / HTTP/1.1\r\nHost: a\r\n"));
}

// Both the browser host and the sign-in's listener stop reading a head at its blank line or
// at their cap, whichever comes first; a head that reaches the cap unfinished can only be
// longer than it.
TEST(HttpMessage, AHeadIsCompleteAtItsBlankLineAndTooLargePastTheCap) {
    using platform::HeadProgress;
    struct Case {
        std::string bytes;
        HeadProgress::Kind kind;
        std::size_t length;
    } cases[] = {
        {"", HeadProgress::partial, 0},
        {"GET / HTTP/1.1\r\n", HeadProgress::partial, 0},
        {"GET / HTTP/1.1\r\n\r", HeadProgress::partial, 0},
        {"GET / HTTP/1.1\r\n\r\n", HeadProgress::complete, 18},
        {"GET / HTTP/1.1\n\n", HeadProgress::complete, 16},
        {"GET / HTTP/1.1\r\n\r\nBODY THAT GOES ON PAST THE CAP", HeadProgress::complete, 18},
        {"GET /ab HTTP/1.1\r\n\r\n", HeadProgress::complete, 20},  // ends on the cap
        {"GET /abc HTTP/1.1\r\n\r\n", HeadProgress::tooLarge, 0},  // one byte past it
        {"GET /abc HTTP/1.1\r\n\r", HeadProgress::tooLarge, 0},    // cannot end within it
        {"GET /abcdef HTTP/1.", HeadProgress::partial, 0},         // 19 bytes
        {"GET /abcdef HTTP/1.1", HeadProgress::tooLarge, 0},       // 20 bytes, no end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const HeadProgress progress = platform::headProgress(c.bytes, 20);
        EXPECT_EQ(progress.kind, c.kind);
        EXPECT_EQ(progress.length, c.length);
    }
}

TEST(HttpMessage, BodiesConnectionsAndAnswersAreFramedAsTheHeadersSay) {
    struct Case {
        std::string headers;
        BodyFraming::Kind kind;
        std::size_t bytes;
        bool keepsAlive;
        bool expectsContinue;
    } cases[] = {
        {"", BodyFraming::length, 0, true, false},
        {"Content-Length: 12\r\n", BodyFraming::length, 12, true, false},
        {"Content-Length: 5\r\nContent-Length: 5\r\n", BodyFraming::length, 5, true, false},
        {"Content-Length: 5\r\nContent-Length: 6\r\n", BodyFraming::invalid, 0, true, false},
        {"Content-Length: -1\r\n", BodyFraming::invalid, 0, true, false},
        {"Content-Length: 1e3\r\n", BodyFraming::invalid, 0, true, false},
        {"Content-Length:\r\n", BodyFraming::invalid, 0, true, false},
        {"Content-Length: 99999999999999999999999\r\n", BodyFraming::invalid, 0, true, false},
        {"Transfer-Encoding: chunked\r\nContent-Length: 3\r\n", BodyFraming::unsupported, 0, true,
         false},
        {"Connection: keep-alive, Close\r\n", BodyFraming::length, 0, false, false},
        {"Connection: closed\r\n", BodyFraming::length, 0, true, false},
        {"Expect: 100-continue\r\nContent-Length: 9\r\n", BodyFraming::length, 9, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        auto request = platform::parseHead("POST / HTTP/1.1\r\n" + c.headers + "\r\n");
        ASSERT_TRUE(request);
        BodyFraming framing = platform::bodyFraming(*request);
        EXPECT_EQ(framing.kind, c.kind);
        EXPECT_EQ(framing.bytes, c.bytes);
        EXPECT_EQ(platform::keepsAlive(*request), c.keepsAlive);
        EXPECT_EQ(platform::expectsContinue(*request), c.expectsContinue);
    }
    // HTTP/1.0 closes unless it asks otherwise.
    EXPECT_FALSE(platform::keepsAlive(*platform::parseHead("GET / HTTP/1.0\r\n\r\n")));
    EXPECT_TRUE(platform::keepsAlive(
        *platform::parseHead("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n")));

    platform::ServerResponse answer;
    answer.status = 404;
    answer.setContent("gone", "text/plain");
    EXPECT_EQ(platform::responseHead(answer, {{"X-A", "1"}}, true),
              "HTTP/1.1 404 Not Found\r\nX-A: 1\r\nContent-Type: text/plain\r\n"
              "Content-Length: 4\r\nConnection: close\r\n\r\n");
    answer.status = 204;
    answer.body.clear();
    EXPECT_EQ(platform::responseHead(answer, {}, false),
              "HTTP/1.1 204 No Content\r\nContent-Type: text/plain\r\n\r\n");
    answer.stream = [] { return std::optional<std::string>(); };
    EXPECT_NE(platform::responseHead(answer, {}, false).find("Transfer-Encoding: chunked\r\n"),
              std::string::npos);
    EXPECT_EQ(platform::chunkSizeLine(0x3f00a), "3f00a\r\n");
}

}  // namespace
