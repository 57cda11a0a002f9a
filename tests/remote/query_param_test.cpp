// The sign-in callback's reading rules and the listener's answers, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "remote/query_param.h"
#include "remote/sign_in.h"

namespace remote {

namespace {

TEST(QueryParam, ReadsTheFirstMatchingKeyAndDecodesIt) {
    struct Case {
        std::string query, key, expected;
    } cases[] = {
        {"token=abc&state=s1", "token", "abc"},
        {"token=abc&state=s1", "state", "s1"},
        {"a=1&token=x+y&b=2", "token", "x y"},
        {"token=a%2Fb", "token", "a/b"},
        {"token=a%2fb", "token", "a/b"},
        {"token=ab%2", "token", "ab%2"},  // fewer than two characters after "%"
        {"token=ab%", "token", "ab%"},
        {"token=%zz1", "token", std::string("\0", 1) + "1"},  // no hex digit gives 0
        {"token=%4z", "token", "\x04"},                       // a non-digit ends the number
        {"token=%C3%A9t%C3%A9", "token", "\xC3\xA9t\xC3\xA9"},
        {"token=%FF", "token", "\xEF\xBF\xBD"},       // not UTF-8: the replacement character
        {"Token=big&token=small", "token", "small"},  // keys are case-sensitive
        {"token=first&token=second", "token", "first"},
        {"token&token=later", "token", "later"},  // a piece without "=" is skipped
        {"tokens=no", "token", ""},
        {"", "token", ""},
        {"token=", "token", ""},
        {"x=a=b", "x", "a=b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(queryParam(c.query, c.key), c.expected) << c.query << " / " << c.key;
    }
}

TEST(QueryParam, TakesTheQueryFromTheRequestLineOnly) {
    struct Case {
        std::string request, expected;
    } cases[] = {
        {"GET /callback?token=t&state=s HTTP/1.1\r\nHost: x\r\n\r\n", "token=t&state=s"},
        {"GET /any/path?a=1 HTTP/1.1", "a=1"},
        {"GET /callback HTTP/1.1\r\nReferer: /x?token=t\r\n", ""},  // no "?" in the line
        {"GET?token=t", ""},                                        // no blank after it
        {"GET /a b?token=t", ""},                                   // the blank comes first
        {"GET /?a=1 b HTTP/1.1", "a=1 b"},                          // up to the last blank
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(requestQuery(c.request)), c.expected) << c.request;
}

TEST(SignInAnswer, IsTheFixedPageWithItsLength) {
    const std::string ok = signInAnswer(true);
    const std::string bad = signInAnswer(false);
    EXPECT_EQ(ok,
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: "
              "close\r\nContent-Length: " +
                  std::to_string(kSignedInPage.size()) + "\r\n\r\n" + std::string(kSignedInPage));
    EXPECT_EQ(bad,
              "HTTP/1.1 400 Bad Request\r\nContent-Type: text/html; charset=utf-8\r\nConnection: "
              "close\r\nContent-Length: " +
                  std::to_string(kInvalidLinkPage.size()) + "\r\n\r\n" +
                  std::string(kInvalidLinkPage));
    EXPECT_EQ(kSignedInPage,
              "<!doctype html><meta charset=utf-8><title>Varra Forgeset</title><body "
              "style=\"font:16px system-ui;background:#0b0c0f;color:#eceef2;padding:40px\">"
              "Signed in. You can close this tab and go back to the Server Tool.</body>");
    EXPECT_EQ(kInvalidLinkPage,
              "<!doctype html><meta charset=utf-8><title>Varra Forgeset</title><body "
              "style=\"font:16px system-ui;background:#0b0c0f;color:#eceef2;padding:40px\">"
              "This sign in link is not valid. Start it again from the Server Tool.</body>");
}

TEST(SameSecret, NeedsEqualLengthAndBytes) {
    EXPECT_TRUE(sameSecret("0123abcd", "0123abcd"));
    EXPECT_TRUE(sameSecret("", ""));
    EXPECT_FALSE(sameSecret("0123abcd", "0123abce"));
    EXPECT_FALSE(sameSecret("0123abcd", "1123abcd"));
    EXPECT_FALSE(sameSecret("0123abcd", "0123abc"));
    EXPECT_FALSE(sameSecret("0123abcd", "0123abcd0"));
    EXPECT_FALSE(sameSecret("", "a"));
}

}  // namespace

}  // namespace remote
