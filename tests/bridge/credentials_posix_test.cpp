// The credentials file under POSIX modes; on Windows its access list says who may open it
// (credentials_win32_test.cpp).
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "bridge/credentials.h"
#include "credentials_fixture.h"

namespace bridge {

namespace fs = std::filesystem;

namespace {

unsigned mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
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

}  // namespace

}  // namespace bridge
