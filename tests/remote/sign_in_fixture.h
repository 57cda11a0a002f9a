#pragma once
// The sign-in's tests: the "browser" reads the address the tool opened and follows the
// service's redirect to the listener as a browser would.
#include "remote_fixture.h"
#include "support/http_page.h"

namespace remote {

using Page = HttpPage;

inline Page get(const std::string& url) {
    return httpGet(url);
}

class SignInTest : public RemoteTest {
  protected:
    // The addresses the tool has opened so far.
    std::vector<std::string> opened() {
        std::vector<std::string> lines;
        if (!exists(t.home / "opened.txt")) return lines;
        std::string text = readText(t.home / "opened.txt");
        for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos;
             at = end + 1)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }

    std::string awaitOpened() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (opened().empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return opened().empty() ? std::string() : opened().front();
    }

    // What the browser shows after following the service's sign-in page.
    Page browseSignIn() {
        const std::string address = awaitOpened();
        EXPECT_TRUE(address.starts_with(service.url() + "/auth/steam?port=")) << address;
        Page redirect = get(address);
        EXPECT_EQ(redirect.status, 302);
        return get(redirect.location);
    }

    static const json& lastSpecies(const std::vector<json>& messages) {
        static const json none;
        for (auto m = messages.rbegin(); m != messages.rend(); ++m) {
            if ((*m)["type"] == "species") return *m;
        }
        return none;
    }
};

}  // namespace remote
