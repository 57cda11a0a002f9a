#include "platform/posix/http_url.h"

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
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::sendableUrl(c.url), c.sent) << c.url.substr(0, 80);
    }
}

}  // namespace
