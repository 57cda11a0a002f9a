// The file helpers where POSIX gives files mode bits and symbolic links. On Windows the rights
// a saved file keeps are its own ACL entries (platform.FilesWin32Test), and Wine makes no
// symbolic links; files_win32_test.cpp says so for each of these.
#include "bridge/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "support/file_facts.h"
#include "support/test_app.h"

namespace bridge {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

mode_t permissionBits(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

}  // namespace

TEST(ReplaceFileBytesTest, KeepsThePermissionsOfTheOldFile) {
    TempDir dir;
    const std::string path = dir / "server.cfg";
    writeText(path, "old");
    for (mode_t mode : {0600, 0640, 0755}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(platform::replaceWholeFile(path, "new"));
        EXPECT_EQ(permissionBits(path), mode);
    }
}

// Another user read a server.cfg being saved 2,040 times in one test: its temporary was 0644
// until all of it, RCON password included, had been written.
TEST(ReplaceFileBytesTest, TheTemporaryHasTheFinalPermissionsFromItsCreation) {
    TempDir dir;
    const std::string path = dir / "server.cfg";
    writeText(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const std::string big(16 << 20, 'p');
    std::atomic<bool> saving = true;
    std::atomic<int> seen = 0, wrong = 0;
    std::thread watcher([&] {
        while (saving) {
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                struct stat st {};
                if (!entry.path().filename().string().ends_with(".tmp")) continue;
                if (::stat(entry.path().c_str(), &st) != 0) continue;
                ++seen;
                if ((st.st_mode & 07777) != 0600) ++wrong;
            }
        }
    });
    for (int round = 0; round < 50 && seen == 0; ++round)
        ASSERT_TRUE(platform::replaceWholeFile(path, big));
    saving = false;
    watcher.join();
    ASSERT_GT(seen, 0) << "the temporary was never caught; the test proves nothing";
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(permissionBits(path), 0600u);
}

// A server.cfg kept elsewhere and linked into the server folder stays linked after a save.
TEST(ReplaceFileBytesTest, ALinkIsReplacedAtItsTargetAndStays) {
    TempDir dir;
    writeText(dir / "real/server.cfg", "old");
    ASSERT_EQ(::chmod((dir / "real/server.cfg").c_str(), 0640), 0);
    fs::create_directory(dir / "root");
    fs::create_symlink("../real/server.cfg", dir / "root/server.cfg");      // relative
    fs::create_symlink(dir / "root/server.cfg", dir / "root/chained.cfg");  // to a link
    fs::create_symlink(dir / "real/new.cfg", dir / "root/dangling.cfg");
    struct Case {
        std::string link, target, bytes;
    };
    for (const Case& c : {Case{"root/server.cfg", "real/server.cfg", "new"},
                          Case{"root/chained.cfg", "real/server.cfg", "newer"},
                          Case{"root/dangling.cfg", "real/new.cfg", "made"}}) {
        SCOPED_TRACE(c.link);
        ASSERT_TRUE(platform::replaceWholeFile(dir / c.link, c.bytes));
        EXPECT_TRUE(fs::is_symlink(dir / c.link));
        EXPECT_EQ(readText(dir / c.target), c.bytes);
    }
    EXPECT_EQ(permissionBits(dir / "real/server.cfg"), 0640u);
    EXPECT_EQ(folderNames(dir / "real"), (Names{"new.cfg", "server.cfg"}));
    fs::create_symlink("loop.cfg", dir / "root/loop.cfg");
    EXPECT_FALSE(platform::replaceWholeFile(dir / "root/loop.cfg", "x"));
    EXPECT_TRUE(fs::is_symlink(dir / "root/loop.cfg"));
}

TEST(ReplaceFileBytesTest, FailureInAReadOnlyFolderLeavesTheOldContent) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into read-only folders";
    TempDir dir;
    const std::string folder = dir / "locked";
    writeText(folder + "/server.cfg", "old");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(platform::replaceWholeFile(folder + "/server.cfg", "new"));
    EXPECT_EQ(readText(folder + "/server.cfg"), "old");
    EXPECT_EQ(folderNames(folder), Names{"server.cfg"});
}

}  // namespace bridge
