#include "bridge/build_service.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scoped_env.h"

namespace bridge {

namespace {

constexpr const char* defaultUrl = "https://build.varraforgeset.invalid/build";

TEST(BuildServiceBaseUrlTest, FollowsTheVariableWithinItsLengthAndDropsTrailingSlashes) {
    struct Case {
        const char* value;  // null: unset
        std::string expected;
    };
    std::string longest = "http://h/" + std::string(502, 'a');  // 511 characters
    std::string tooLong = longest + "b";
    std::string tooLongWithSlash = tooLong + "/";
    // 511 characters of which some take several bytes still fit.
    std::string wide = "http://h/";
    while (wide.size() < 9 + 2 * 251)
        wide += "é";
    wide += "aa";
    const Case cases[] = {
        {nullptr, defaultUrl},
        {"", defaultUrl},
        {"http://127.0.0.1:8080/svc", "http://127.0.0.1:8080/svc"},
        {"http://127.0.0.1:8080/svc/", "http://127.0.0.1:8080/svc"},
        {"http://127.0.0.1:8080/svc//", "http://127.0.0.1:8080/svc"},
        {"///", ""},
        {longest.c_str(), longest},
        {tooLong.c_str(), defaultUrl},
        {tooLongWithSlash.c_str(), defaultUrl},
        {wide.c_str(), wide},
    };
    for (const Case& c : cases) {
        ScopedEnv env("VARRAFORGESET_BUILD_URL", c.value);
        EXPECT_EQ(buildServiceBaseUrl(), c.expected) << (c.value ? c.value : "(unset)");
    }
}

TEST(BuildServiceBaseUrlTest, DefaultIsHttpsUnderBuildOnAReservedName) {
    ScopedEnv env("VARRAFORGESET_BUILD_URL", nullptr);
    std::string url = buildServiceBaseUrl();
    EXPECT_TRUE(url.starts_with("https://")) << url;
    EXPECT_TRUE(url.ends_with("/build")) << url;
    EXPECT_NE(url.find(".invalid/"), std::string::npos) << url;
}

TEST(IsServiceIdTest, AcceptsOnlyShortAsciiWordCharacters) {
    struct Case {
        std::string id;
        bool valid;
    };
    const Case cases[] = {
        {"a", true},     {"Job-42_x", true}, {std::string(64, 'Z'), true},
        {"0", true},     {"", false},        {std::string(65, 'a'), false},
        {"a b", false},  {"a/b", false},     {"..", false},
        {"é", false},    {"a\n", false},     {std::string("a\0b", 3), false},
        {"a%2F", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isServiceId(c.id), c.valid) << c.id;
}

TEST(BearerHeaderTest, IsOneLineWhateverTheToken) {
    EXPECT_EQ(bearerHeader("abc.DEF-1"), "Authorization: Bearer abc.DEF-1\r\n");
    EXPECT_EQ(bearerHeader(""), "Authorization: Bearer \r\n");
    EXPECT_EQ(bearerHeader("a\r\nX-Evil: 1"), "Authorization: Bearer aX-Evil: 1\r\n");
    EXPECT_EQ(bearerHeader(std::string("a\0\tb\x7f", 5)), "Authorization: Bearer ab\r\n");
}

TEST(DescribeFailureTest, PrefersTheErrorThenTheServiceMessageThenTheStatus) {
    struct Case {
        BuildServiceResponse response;
        std::string expected;
    };
    const Case cases[] = {
        {{0, "", "The build service did not answer."}, "The build service did not answer."},
        {{404, R"({"error":"No such job."})", ""}, "No such job."},
        {{404, "", ""}, "The build service answered with status 404."},
        {{500, R"({"error":""})", ""}, "The build service answered with status 500."},
        {{413, R"({"error":"Part \"3\" too big"})", ""}, "Part \"3\" too big"},
        {{502, "<html>Bad gateway</html>", ""}, "The build service answered with status 502."},
        {{400, "{\"error\":\"bad \xff byte\"}", ""}, "bad \xEF\xBF\xBD byte"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describeFailure(c.response), c.expected);
}

}  // namespace

}  // namespace bridge
