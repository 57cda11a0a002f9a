#include "platform/http_url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(SendableUrlTest, KeepsSchemeHostPortPathAndQueryOnly) {
    struct Case {
        std::string url;
        std::optional<std::string> sent;
    };
    const Case cases[] = {
        {"https://build.example.com/build/api/me", "https://build.example.com/build/api/me"},
        {"http://127.0.0.1:8080/svc/api/jobs/j1/log?from=12",
         "http://127.0.0.1:8080/svc/api/jobs/j1/log?from=12"},
        {"http://[::1]:8080/x", "http://[::1]:8080/x"},
        {"http://user:pw@host/x", "http://host/x"},
        {"http://user@host/x#part", "http://host/x"},
        {"HTTPS://host/x", "https://host/x"},
        {"host/build", std::nullopt},
        {"//host/build", std::nullopt},
        {"ftp://host/build", std::nullopt},
        {"file:///etc/passwd", std::nullopt},
        {"http:///x", std::nullopt},
        {"http:/host/x", std::nullopt},
        {"http://?x", std::nullopt},
        {"http://host/a b", std::nullopt},
        {"http://host/a\r\nX: y", std::nullopt},
        {"http://" + std::string(255, 'h') + "/x", "http://" + std::string(255, 'h') + "/x"},
        {"http://" + std::string(256, 'h') + "/x", std::nullopt},
        {"http://h/" + std::string(2046, 'p'), "http://h/" + std::string(2046, 'p')},
        {"http://h/" + std::string(2047, 'p'), std::nullopt},
        {"http://h/x?" + std::string(2048, 'q'), std::nullopt},
        {"", std::nullopt},
        {"http://host", "http://host/"},
        {"http://host?q=1", "http://host/?q=1"},
        {"http://host:80/x", "http://host:80/x"},
        {"http://host:/x", "http://host/x"},
        {"http://host:0/x", std::nullopt},
        {"http://host:65536/x", std::nullopt},
        {"http://host:8o/x", std::nullopt},
        {"http://ho^st/x", std::nullopt},
        {"http://[::1/x", std::nullopt},
        {"http://[nothex]/x", std::nullopt},
        {"http://host/caf\xc3\xa9?n=\xc3\xa9", "http://host/caf%C3%A9?n=%C3%A9"},
        {"http://host/x\ty", std::nullopt},
        {"http://host/x\x7f", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::sendableUrl(c.url), c.sent) << c.url.substr(0, 80);
    }
}

TEST(SplitUrlTest, GivesWhatAConnectionNeeds) {
    struct Case {
        std::string url;
        bool secure;
        std::string host;
        std::uint16_t port;
        std::string target;
    };
    const Case cases[] = {
        {"https://build.example.com/build/api/me", true, "build.example.com", 443, "/build/api/me"},
        {"http://127.0.0.1:8080/svc/api/jobs/j1/log?from=12", false, "127.0.0.1", 8080,
         "/svc/api/jobs/j1/log?from=12"},
        {"HTTP://Host", false, "Host", 80, "/"},
        {"https://[::1]:4443/x?", true, "[::1]", 4443, "/x?"},
        {"http://a:b@c@host:81/p#frag?no", false, "host", 81, "/p"},
    };
    for (const Case& c : cases) {
        std::optional<platform::UrlParts> parts = platform::splitUrl(c.url);
        ASSERT_TRUE(parts) << c.url;
        EXPECT_EQ(parts->secure, c.secure) << c.url;
        EXPECT_EQ(parts->host, c.host) << c.url;
        EXPECT_EQ(parts->port, c.port) << c.url;
        EXPECT_EQ(parts->target, c.target) << c.url;
    }
}

}  // namespace
