#include "bridge/credentials.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

#include "support/scoped_env.h"
#include "support/test_app.h"

namespace fs = std::filesystem;

namespace {

class CredentialsTest : public ::testing::Test {
  protected:
    std::string folder() const { return dir / "data/VarraForgeset"; }
    unsigned mode(const std::string& path) const {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    TempDir dir;
    ScopedEnv xdg{"XDG_DATA_HOME", dir / "data"};
};

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
    EXPECT_EQ(credentialsPath(), folder() + "/build-auth.json");
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

TEST_F(CredentialsTest, FileIsOwnerOnlyEvenInAWideOpenFolderOrOverAWideFile) {
    fs::create_directories(folder());
    ::chmod(folder().c_str(), 0777);
    writeText(credentialsPath(), "{}");
    ::chmod(credentialsPath().c_str(), 0666);
    ::mode_t oldMask = ::umask(0);
    ASSERT_TRUE(saveCredentials({"secret", "1", "n"}));
    ::umask(0377);  // a mask that would leave even the owner unable to write
    ASSERT_TRUE(saveCredentials({"secret2", "1", "n"}));
    ::umask(oldMask);
    EXPECT_EQ(mode(credentialsPath()), 0600u);
    EXPECT_EQ(loadCredentials().token, "secret2");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);
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
