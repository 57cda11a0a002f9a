// The credentials file on Windows: its access list lets only its owner in (and the system
// account, which reads every file anyway), even over an old file that let everyone in. A
// folder that passes rights on is platform.PrivateFileWin32Test's.
#include <filesystem>
#include <iterator>

#include "bridge/credentials.h"
#include "credentials_fixture.h"
#include "platform/files_rights_win32.h"

namespace bridge {

namespace fs = std::filesystem;

namespace {

TEST_F(CredentialsTest, FileIsOwnerOnlyEvenOverAnOldFileThatLetEveryoneIn) {
    fs::create_directories(folder());
    ASSERT_TRUE(createWithRights(credentialsPath(), L"D:P(A;;FA;;;WD)"));
    ASSERT_TRUE(saveCredentials({"secret", "1", "n"}));
    const FileRights rights = rightsOf(credentialsPath());
    ASSERT_TRUE(rights.readable);
    ASSERT_TRUE(rights.hasList) << "a file without an access list is open to everyone";
    EXPECT_EQ(rights.owner, currentUserSid());
    for (const Grant& grant : rights.grants) {
        if (grant.allows && grant.who != rights.owner) {
            EXPECT_EQ(grant.who, kSystemSid) << "someone else is let in";
        }
    }
    EXPECT_EQ(loadCredentials().token, "secret");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);
}

}  // namespace

}  // namespace bridge
