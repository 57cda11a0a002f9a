#include "bridge/credentials.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

#include "credentials_fixture.h"

namespace bridge {

namespace fs = std::filesystem;

namespace {

TEST_F(CredentialsTest, RoundTripsEveryValueAsOneLineOfJson) {
    struct Case {
        BuildCredentials stored;
        std::string expectedFile;
    };
    const Case cases[] = {
        {{"tok-1", "7656119", "Ana"}, R"({"token":"tok-1","steamId":"7656119","name":"Ana"})"},
        {{"t", "", ""}, R"({"token":"t","steamId":"","name":""})"},
        {{"t", "1", "Say \"hi\" \\ o/"},
         R"({"token":"t","steamId":"1","name":"Say \"hi\" \\ o/"})"},
        {{"t", "1", "Zoë 恐竜"}, R"({"token":"t","steamId":"1","name":"Zoë 恐竜"})"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(saveCredentials(c.stored));
        std::string file = readText(credentialsPath());
        EXPECT_EQ(file, c.expectedFile);
        EXPECT_TRUE(nlohmann::json::accept(file)) << file;
        BuildCredentials loaded = loadCredentials();
        EXPECT_EQ(loaded.token, c.stored.token);
        EXPECT_EQ(loaded.steamId, c.stored.steamId);
        EXPECT_EQ(loaded.name, c.stored.name);
    }
}

TEST_F(CredentialsTest, MissingFileOrKeysReadAsSignedOut) {
    // As paths: Windows joins the app data folder with its own separator.
    EXPECT_EQ(fs::path(credentialsPath()), fs::path(folder() + "/build-auth.json"));
    BuildCredentials none = loadCredentials();
    EXPECT_FALSE(none.signedIn());
    EXPECT_EQ(none.steamId + none.name, "");

    writeText(credentialsPath(), R"({"token":"only"})");
    BuildCredentials tokenOnly = loadCredentials();
    EXPECT_TRUE(tokenOnly.signedIn());
    EXPECT_EQ(tokenOnly.token, "only");
    EXPECT_EQ(tokenOnly.steamId + tokenOnly.name, "");

    // Read afresh: a file changed behind the program's back is seen by the next call.
    writeText(credentialsPath(), "not json at all");
    EXPECT_FALSE(loadCredentials().signedIn());
}

TEST_F(CredentialsTest, DeleteSignsOutAndAMissingFileIsNoFailure) {
    ASSERT_TRUE(saveCredentials({"secret", "1", "n"}));
    EXPECT_TRUE(deleteCredentials());
    EXPECT_FALSE(fs::exists(credentialsPath()));
    EXPECT_FALSE(loadCredentials().signedIn());
    EXPECT_TRUE(deleteCredentials());
}

TEST_F(CredentialsTest, AFailedWriteKeepsTheOldRecordAndLeavesNothingBehind) {
    ASSERT_TRUE(saveCredentials({"old", "1", "n"}));
    // A folder in the way of the rename makes the write fail after the temporary file exists.
    fs::remove(credentialsPath());
    fs::create_directory(credentialsPath());
    writeText(credentialsPath() + "/keep", "x");
    EXPECT_FALSE(saveCredentials({"new", "1", "n"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);
}

}  // namespace

}  // namespace bridge
