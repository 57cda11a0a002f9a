// buildServiceRequest against the fake build service over real HTTP on loopback: what the
// service sees of each call, and what the caller gets back from every way an answer can fail.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bridge/build_service.h"
#include "support/fake_build_service.h"
#include "support/scoped_env.h"

namespace bridge {

namespace {

using nlohmann::json;

const std::string bearer = bearerHeader("test-token");

platform::HttpTimeouts quick() {
    return {.resolveMs = 2000, .connectMs = 2000, .sendMs = 5000, .receiveMs = 5000};
}

BuildServiceResponse call(std::string_view method, std::string_view path,
                          std::string_view headers = bearer, std::string_view body = {},
                          platform::HttpTimeouts timeouts = quick()) {
    return buildServiceRequest(timeouts, method, path, headers, "", body, "");
}

class BuildServiceRequestTest : public ::testing::Test {
  protected:
    ScopedEnv noProxy{"no_proxy", "*"};
    FakeBuildService fake;
};

TEST_F(BuildServiceRequestTest, SendsTheHeaderBlockInOrderAndNothingOfItsOwnChoosing) {
    fake.script({{"partSize", 4}});
    std::string headers = bearer + "X-Species: raptor\r\nContent-Type: application/json\r\n";
    BuildServiceResponse started = call("POST", "/api/uploads", headers, R"({"size":6})");
    ASSERT_EQ(started.error, "");
    EXPECT_EQ(started.status, 201u);
    json grant = json::parse(started.body);
    std::string id = grant.at("uploadId");
    EXPECT_EQ(grant.at("partSize"), 4);

    std::string part = bearer + "Content-Type: application/octet-stream\r\n";
    EXPECT_EQ(call("PUT", "/api/uploads/" + id + "/parts/0", part, "abcd").status, 200u);
    EXPECT_EQ(call("PUT", "/api/uploads/" + id + "/parts/1", part, "ef").status, 200u);
    BuildServiceResponse completed = call("POST", "/api/uploads/" + id + "/complete");
    EXPECT_EQ(completed.status, 201u) << completed.body;
    EXPECT_TRUE(json::accept(completed.body)) << completed.body;

    json seen = fake.requests();
    ASSERT_EQ(seen.size(), 4u);
    std::vector<std::string> names;
    for (const json& h : seen[0]["headers"])
        names.push_back(h[0]);
    auto at = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    EXPECT_LT(at("Authorization"), at("X-Species"));
    EXPECT_LT(at("X-Species"), at("Content-Type"));
    EXPECT_EQ(at("Accept"), static_cast<long>(names.size())) << "no Accept of its own";
    EXPECT_EQ(at("Expect"), static_cast<long>(names.size()));
    EXPECT_EQ(headerOf(seen[0], "User-Agent"), "VarraForgesetServerTool/1.0");
    EXPECT_EQ(headerOf(seen[0], "Authorization"), "Bearer test-token");
    EXPECT_EQ(seen[0]["body"], R"({"size":6})");
    EXPECT_EQ(headerOf(seen[1], "Content-Type"), "application/octet-stream");
    EXPECT_EQ(seen[1]["body"], "abcd");
    // A POST without a body announces an empty one and no form content type.
    EXPECT_EQ(seen[3]["method"], "POST");
    EXPECT_EQ(headerOf(seen[3], "Content-Length"), "0");
    EXPECT_EQ(headerOf(seen[3], "Content-Type"), "");
}

TEST_F(BuildServiceRequestTest, AnyStatusIsAnAnswerAndDescribeFailureFindsItsWords) {
    struct Case {
        json rule;
        std::uint32_t status;
        std::string described;
    };
    const Case cases[] = {
        {{{"status", 404}, {"json", {{"error", "No such job."}}}}, 404, "No such job."},
        {{{"status", 404}}, 404, "The build service answered with status 404."},
        {{{"status", 500}, {"body", "<html>oops</html>"}},
         500,
         "The build service answered with status 500."},
        {{{"status", 401}, {"json", {{"error", "Sign in again."}}}}, 401, "Sign in again."},
        {{{"status", 200}, {"action", "statusOnly"}},
         200,
         "The build service answered with status 200."},
        {{{"status", 302}, {"headers", {{"Location", "/api/me"}}}},
         302,
         "The build service answered with status 302."},
    };
    for (const Case& c : cases) {
        json rule = c.rule;
        rule["path"] = "/api/jobs/*";
        fake.script({{"rules", {rule}}});
        BuildServiceResponse r = call("GET", "/api/jobs/j1");
        EXPECT_EQ(r.error, "") << rule;
        EXPECT_EQ(r.status, c.status) << rule;
        EXPECT_EQ(describeFailure(r), c.described) << rule;
    }
    // A redirect is handed back, never followed with the token.
    EXPECT_EQ(fake.requests().size(), std::size(cases));
}

TEST_F(BuildServiceRequestTest, BrokenAnswersAreFailuresWithoutAStatus) {
    struct Case {
        json rule;
        std::uint32_t receiveMs;
    };
    const Case cases[] = {
        {{{"action", "garbage"}}, 5000},
        {{{"action", "close"}}, 5000},
        {{{"action", "cut"}, {"bytes", 200000}}, 5000},
        {{{"action", "hang"}}, 200},
        {{{"action", "stall"}, {"bytes", 200000}}, 200},
        {{{"status", 200}, {"delayMs", 3000}}, 200},
    };
    for (const Case& c : cases) {
        json rule = c.rule;
        rule["path"] = "/api/me";
        fake.script({{"rules", {rule}}});
        platform::HttpTimeouts timeouts = quick();
        timeouts.receiveMs = c.receiveMs;
        auto start = std::chrono::steady_clock::now();
        BuildServiceResponse r = call("GET", "/api/me", bearer, {}, timeouts);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.error, "The build service did not answer.") << rule;
        EXPECT_EQ(r.status, 0u) << rule;
        EXPECT_EQ(r.body, "") << rule;
        EXPECT_LT(took, std::chrono::milliseconds(c.receiveMs + 1500)) << rule;
    }
}

TEST_F(BuildServiceRequestTest, AnswersInMemoryStopAtTheCapEvenAGigabyteOne) {
    struct Case {
        std::uint64_t bytes;
        std::size_t least, most;
    };
    const std::size_t cap = platform::httpBodyCap;
    const Case cases[] = {
        {3u << 20, 3u << 20, 3u << 20},
        {cap, cap, cap},
        {(5u << 20), cap, cap + platform::httpReceiveBlock - 1},
        {1ull << 30, cap, cap + platform::httpReceiveBlock - 1},
    };
    for (const Case& c : cases) {
        fake.script({{"rules", {{{"path", "/api/me"}, {"action", "flood"}, {"bytes", c.bytes}}}}});
        auto start = std::chrono::steady_clock::now();
        BuildServiceResponse r = call("GET", "/api/me");
        EXPECT_EQ(r.error, "") << c.bytes;
        EXPECT_EQ(r.status, 200u);
        EXPECT_GE(r.body.size(), c.least) << c.bytes;
        EXPECT_LE(r.body.size(), c.most) << c.bytes;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.bytes;
    }
}

TEST_F(BuildServiceRequestTest, AddressesThatCannotBeUsed) {
    struct Case {
        std::string base;
        std::string error;
    };
    // A port nobody listens on: the fake's own, once a second fake has taken another.
    std::string closed = "http://127.0.0.1:1";
    const Case cases[] = {
        {"127.0.0.1:" + std::to_string(fake.port()), "The build service address is not valid."},
        {"ftp://127.0.0.1/build", "The build service address is not valid."},
        {"http:///build", "The build service address is not valid."},
        {"http://host/with space", "The build service address is not valid."},
        {"http://" + std::string(256, 'h') + "/build", "The build service address is not valid."},
        {closed, "Could not reach the build service."},
        {"http://[::1]:1/build", "Could not reach the build service."},
        {"https://build.varraforgeset.invalid/build", "Could not reach the build service."},
    };
    for (const Case& c : cases) {
        ScopedEnv base("VARRAFORGESET_BUILD_URL", c.base);
        BuildServiceResponse r = call("GET", "/api/me");
        EXPECT_EQ(r.error, c.error) << c.base;
        EXPECT_EQ(r.status, 0u) << c.base;
    }
    EXPECT_EQ(fake.requests().size(), 0u);
}

TEST_F(BuildServiceRequestTest, BaseUrlPrefixTrailingSlashUserNameAndProxy) {
    std::string hostPort = fake.url().substr(7);
    struct Case {
        std::string base;
        std::string proxy;
        std::string target;
    };
    std::vector<Case> cases = {
        {fake.url() + "/svc/", "", "/svc/api/me"},
        {"http://someone:secret@" + hostPort + "/a", "", "/a/api/me"},
    };
    // Windows takes its proxy from its own settings, not from these variables.
    if (kProxyVariablesApply)
        cases.push_back({"http://build.example.invalid/p", fake.url(),
                         "http://build.example.invalid/p/api/me"});
    fake.script({{"requireToken", false}});
    for (const Case& c : cases) {
        ScopedEnv base("VARRAFORGESET_BUILD_URL", c.base);
        ScopedEnv proxy("http_proxy", c.proxy.empty() ? nullptr : c.proxy.c_str());
        ScopedEnv noProxyHere("no_proxy", c.proxy.empty() ? "*" : "");
        call("GET", "/api/me");
    }
    json seen = fake.requests();
    ASSERT_EQ(seen.size(), cases.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i]["target"], cases[i].target);
        // The user name in the address never travels; only the bearer line authorises.
        EXPECT_EQ(headerOf(seen[i], "Authorization"), "Bearer test-token");
    }
}

TEST_F(BuildServiceRequestTest, CallsFromSeveralThreadsRunSideBySide) {
    fake.script({{"rules", {{{"path", "/api/me"}, {"delayMs", 500}}}}});
    std::vector<BuildServiceResponse> answers(6);
    std::vector<std::thread> threads;
    auto start = std::chrono::steady_clock::now();
    for (auto& answer : answers)
        threads.emplace_back([&answer] { answer = call("GET", "/api/me"); });
    for (auto& t : threads)
        t.join();
    // Six delayed answers in about the time of one; one after the other they take 3 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    for (const auto& a : answers) {
        EXPECT_EQ(a.status, 200u) << a.error;
        EXPECT_EQ(json::parse(a.body).at("name"), "Test User");
    }
}

}  // namespace

}  // namespace bridge
