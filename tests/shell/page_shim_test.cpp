#include "shell/page_shim.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(PageShim, OffersTheWebViewFaceThePageUses) {
    std::string shim = pageShimScript();
    EXPECT_NE(shim.find("window.chrome.webview"), std::string::npos);
    EXPECT_NE(shim.find("postMessage"), std::string::npos);
    EXPECT_NE(shim.find("addEventListener"), std::string::npos);
    EXPECT_NE(shim.find("removeEventListener"), std::string::npos);
    EXPECT_NE(shim.find("'/assets/'"), std::string::npos);
    EXPECT_NE(shim.find("'/species/'"), std::string::npos);
    EXPECT_NE(shim.find("new EventSource('/_host/events?key=' + key)"), std::string::npos);
    EXPECT_NE(shim.find("'X-Forgeset-Token': key"), std::string::npos);
    EXPECT_NE(shim.find("fetch('/_host/command'"), std::string::npos);
    EXPECT_NE(shim.find("'Content-Type': 'application/json'"), std::string::npos);
    EXPECT_NE(shim.find("'reload'"), std::string::npos);
    EXPECT_NE(shim.find("dialogRequest('/_host/dialog/list'"), std::string::npos);
    EXPECT_NE(shim.find("dialogRequest('/_host/dialog/answer'"), std::string::npos);
    EXPECT_EQ(shim.find('@'), std::string::npos) << "a placeholder was left";
    // It ends up inside a <script> element.
    EXPECT_EQ(shim.find("</"), std::string::npos);
}

TEST(PageShim, GoesFirstInHeadAheadOfEveryScript) {
    std::string page = injectPageShim(
        "<!DOCTYPE html><html><HEAD lang=\"en\"><meta charset=\"utf-8\"><script>a()</script>"
        "<script type=\"importmap\">{}</script></HEAD><body><header>x</header>"
        "<script src=\"/app.js\"></script></body></html>",
        "n0nce");
    std::size_t head = page.find("<HEAD lang=\"en\">");
    std::size_t shim = page.find("<script nonce=\"n0nce\">\n(function");
    ASSERT_NE(shim, std::string::npos) << page;
    EXPECT_EQ(shim, head + 16) << page;
    EXPECT_LT(shim, page.find("a()"));
    EXPECT_EQ(page.find("<script"), shim);
    // The page itself is otherwise unchanged.
    EXPECT_NE(page.find("<header>x</header>"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
}

TEST(PageShim, EveryScriptTagCarriesTheNonce) {
    std::string page = injectPageShim(
        "<html><head><script>a()</script><SCRIPT type=\"importmap\">{}</SCRIPT>\n"
        "<script\nsrc=\"/b.js\"></script><scripts></scripts></head></html>",
        "abc");
    EXPECT_EQ(count(page, " nonce=\"abc\""), 4u) << page;
    EXPECT_NE(page.find("<script nonce=\"abc\">a()"), std::string::npos) << page;
    EXPECT_NE(page.find("<SCRIPT nonce=\"abc\" type=\"importmap\">"), std::string::npos) << page;
    EXPECT_NE(page.find("<script nonce=\"abc\"\nsrc=\"/b.js\">"), std::string::npos) << page;
    // Not a script tag, so left alone.
    EXPECT_NE(page.find("<scripts></scripts>"), std::string::npos) << page;
    EXPECT_EQ(count(page, "nonce"), 4u) << page;
}

TEST(PageShim, APageWithoutHeadGetsTheShimBeforeItsFirstScript) {
    std::string page = injectPageShim("<p>hi</p><script>a()</script>", "n");
    EXPECT_EQ(page.find("<p>hi</p><script nonce=\"n\">\n(function"), 0u) << page;
    EXPECT_LT(page.find("window.chrome.webview"), page.find("a()"));
}

TEST(PageShim, ThePolicyAllowsThePageAndNothingElse) {
    std::string policy = pageContentSecurityPolicy("n0nce");
    EXPECT_NE(policy.find("script-src 'self' 'nonce-n0nce';"), std::string::npos) << policy;
    EXPECT_EQ(policy.find("unsafe-eval"), std::string::npos) << policy;
    EXPECT_EQ(count(policy, "unsafe-inline"), 1u) << policy;  // styles only
    EXPECT_NE(policy.find("style-src 'self' 'unsafe-inline'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("img-src 'self' data: blob:"), std::string::npos) << policy;
    EXPECT_NE(policy.find("connect-src 'self' data: blob:"), std::string::npos) << policy;
    EXPECT_NE(policy.find("object-src 'none'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("base-uri 'none'"), std::string::npos) << policy;
    EXPECT_NE(policy.find("form-action 'none'"), std::string::npos) << policy;
    EXPECT_EQ(policy.find('*'), std::string::npos) << policy;
    EXPECT_EQ(policy.find("http:"), std::string::npos) << policy;
}
