#include "shell/serve_security.h"

#include <gtest/gtest.h>

TEST(ServeSecurity, OnlyJsonIsACommand) {
    EXPECT_TRUE(isJsonContentType("application/json"));
    EXPECT_TRUE(isJsonContentType("Application/JSON; charset=utf-8"));
    EXPECT_TRUE(isJsonContentType(" application/json ;charset=UTF-8"));
    // What a form or a simple cross-site request can send without asking first.
    EXPECT_FALSE(isJsonContentType("text/plain"));
    EXPECT_FALSE(isJsonContentType("text/plain; x=application/json"));
    EXPECT_FALSE(isJsonContentType("application/x-www-form-urlencoded"));
    EXPECT_FALSE(isJsonContentType("multipart/form-data; boundary=x"));
    EXPECT_FALSE(isJsonContentType("application/jsonx"));
    EXPECT_FALSE(isJsonContentType(""));
}

TEST(ServeSecurity, TokensMatchOnlyWhenEqual) {
    const std::string token = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(tokensEqual(token, token));
    EXPECT_FALSE(tokensEqual("0123456789abcdef0123456789abcdee", token));
    EXPECT_FALSE(tokensEqual("1123456789abcdef0123456789abcdef", token));
    EXPECT_FALSE(tokensEqual("0123456789ABCDEF0123456789ABCDEF", token));
    EXPECT_FALSE(tokensEqual(token.substr(0, 31), token));
    EXPECT_FALSE(tokensEqual(token + "0", token));
    EXPECT_FALSE(tokensEqual("", token));
    // No token at all matches nothing, not even an empty guess.
    EXPECT_FALSE(tokensEqual("", ""));
}

TEST(ServeSecurity, CookieIsPrivateToThePageAndNamedByPort) {
    EXPECT_EQ(tokenCookieName(8123), "forgeset_token_8123");
    EXPECT_NE(tokenCookieName(8123), tokenCookieName(8124));
    std::string cookie = tokenSetCookie(8123, "abc");
    EXPECT_EQ(cookie.rfind("forgeset_token_8123=abc;", 0), 0u) << cookie;
    EXPECT_NE(cookie.find("; HttpOnly"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("; SameSite=Strict"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("; Path=/"), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("Domain"), std::string::npos) << cookie;
}

TEST(ServeSecurity, CookieValuesAreFoundByExactName) {
    EXPECT_EQ(cookieValue("a=1; forgeset_token_1=xyz; b=2", "forgeset_token_1"), "xyz");
    EXPECT_EQ(cookieValue("forgeset_token_1=xyz", "forgeset_token_1"), "xyz");
    EXPECT_EQ(cookieValue("forgeset_token_1 = xyz ;", "forgeset_token_1"), "xyz");
    EXPECT_EQ(cookieValue("forgeset_token_12=xyz", "forgeset_token_1"), std::nullopt);
    EXPECT_EQ(cookieValue("xforgeset_token_1=xyz", "forgeset_token_1"), std::nullopt);
    EXPECT_EQ(cookieValue("a=forgeset_token_1=xyz", "forgeset_token_1"), std::nullopt);
    EXPECT_EQ(cookieValue("", "forgeset_token_1"), std::nullopt);
}

TEST(ServeSecurity, TheTokenParameterIsFoundAndTakenOut) {
    EXPECT_EQ(queryValue("token=abc", "token"), "abc");
    EXPECT_EQ(queryValue("x=1&token=abc&y=2", "token"), "abc");
    EXPECT_EQ(queryValue("token", "token"), "");
    EXPECT_EQ(queryValue("xtoken=abc&tokens=1", "token"), std::nullopt);
    EXPECT_EQ(queryValue("", "token"), std::nullopt);
    EXPECT_EQ(queryWithout("token=abc", "token"), "");
    EXPECT_EQ(queryWithout("x=1&token=abc&y=2", "token"), "x=1&y=2");
    EXPECT_EQ(queryWithout("token=a&token=b&tokens=c", "token"), "tokens=c");
}
