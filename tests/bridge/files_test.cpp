#include "bridge/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_app.h"

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

// Every entry of a folder, hidden ones included, sorted.
Names everything(const std::string& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t permissionBits(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

}  // namespace

TEST(FileBytesTest, WriteThenReadKeepsEveryByteAndFailuresAreEmptyOrFalse) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 70'000; ++i)  // more than one read chunk
        bytes += static_cast<char>(i * 7);
    ASSERT_TRUE(writeFileBytes(dir / "data.bin", bytes));
    EXPECT_EQ(readFileBytes(dir / "data.bin"), bytes);
    ASSERT_TRUE(writeFileBytes(dir / "data.bin", "short"));  // truncates
    EXPECT_EQ(readFileBytes(dir / "data.bin"), "short");
    EXPECT_EQ(readFileBytes(dir / "missing"), "");
    EXPECT_EQ(readFileBytes(dir.path()), "");
    EXPECT_FALSE(writeFileBytes(dir / "no/such/folder/file", "x"));
    EXPECT_FALSE(writeFileBytes(dir.path(), "x"));
}

TEST(FileBytesTest, ReadsAFileAnotherWriterHoldsLocked) {
    TempDir dir;
    const std::string path = dir / "log.txt";
    int writer = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ASSERT_EQ(::write(writer, "partial", 7), 7);
    EXPECT_EQ(readFileBytes(path), "partial");
    ::close(writer);
}

TEST(ReplaceFileBytesTest, ReplacesOrCreatesWithoutLeavingATemporaryFile) {
    TempDir dir;
    const std::string path = dir / "server.cfg";
    ASSERT_TRUE(replaceFileBytes(path, "first"));
    EXPECT_EQ(readText(path), "first");
    ASSERT_TRUE(replaceFileBytes(path, "second, longer"));
    EXPECT_EQ(readText(path), "second, longer");
    ASSERT_TRUE(replaceFileBytes(path, ""));
    EXPECT_EQ(readText(path), "");
    EXPECT_EQ(everything(dir.path()), Names{"server.cfg"});
}

TEST(ReplaceFileBytesTest, KeepsThePermissionsOfTheOldFile) {
    TempDir dir;
    const std::string path = dir / "server.cfg";
    writeText(path, "old");
    for (mode_t mode : {0600, 0640, 0755}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(replaceFileBytes(path, "new"));
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
        ASSERT_TRUE(replaceFileBytes(path, big));
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
        ASSERT_TRUE(replaceFileBytes(dir / c.link, c.bytes));
        EXPECT_TRUE(fs::is_symlink(dir / c.link));
        EXPECT_EQ(readText(dir / c.target), c.bytes);
    }
    EXPECT_EQ(permissionBits(dir / "real/server.cfg"), 0640u);
    EXPECT_EQ(everything(dir / "real"), (Names{"new.cfg", "server.cfg"}));
    fs::create_symlink("loop.cfg", dir / "root/loop.cfg");
    EXPECT_FALSE(replaceFileBytes(dir / "root/loop.cfg", "x"));
    EXPECT_TRUE(fs::is_symlink(dir / "root/loop.cfg"));
}

// A save killed before its rename leaves a copy of the file in its temporary; the next save
// of that file clears it, and nothing that is not ours.
TEST(ReplaceFileBytesTest, LeftoverTemporariesOfTheSameFileAreRemoved) {
    TempDir dir;
    const Names kept = {".other.cfg.0123456789ab.tmp", ".server.cfg.0123456789ab",
                        ".server.cfg.0123456789AB.tmp", ".server.cfg.mine.tmp",
                        ".server.cfg.0123456789abc.tmp"};
    for (const std::string& name : kept)
        writeText(dir / name, "keep");
    writeText(dir / ".server.cfg.0123456789ab.tmp", "sv_rconpassword secret");
    writeText(dir / ".server.cfg.fedcba987654.tmp", "sv_rconpassword secret");
    ASSERT_TRUE(replaceFileBytes(dir / "server.cfg", "new"));
    Names expected = kept;
    expected.push_back("server.cfg");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(everything(dir.path()), expected);
}

TEST(ReplaceFileBytesTest, FailureOverAFolderLeavesItAsItWas) {
    TempDir dir;
    writeText(dir / "target/inside.txt", "keep");
    EXPECT_FALSE(replaceFileBytes(dir / "target", "new"));
    EXPECT_EQ(readText(dir / "target/inside.txt"), "keep");
    EXPECT_EQ(everything(dir.path()), Names{"target"});
    EXPECT_FALSE(replaceFileBytes(dir / "missing/file", "new"));
}

TEST(ReplaceFileBytesTest, FailureInAReadOnlyFolderLeavesTheOldContent) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into read-only folders";
    TempDir dir;
    const std::string folder = dir / "locked";
    writeText(folder + "/server.cfg", "old");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(replaceFileBytes(folder + "/server.cfg", "new"));
    EXPECT_EQ(readText(folder + "/server.cfg"), "old");
    EXPECT_EQ(everything(folder), Names{"server.cfg"});
}

TEST(MoveAndCopyTest, MoveReplacesTheTargetAndCopyKeepsTheSource) {
    TempDir dir;
    writeText(dir / "a", "from a");
    writeText(dir / "b", "old b");
    ASSERT_TRUE(moveReplacing(dir / "a", dir / "b"));
    EXPECT_EQ(readText(dir / "b"), "from a");
    EXPECT_FALSE(exists(dir / "a"));
    EXPECT_FALSE(moveReplacing(dir / "a", dir / "c"));

    ASSERT_TRUE(copyFileBytes(dir / "b", dir / "b.bak"));
    EXPECT_EQ(readText(dir / "b.bak"), "from a");
    EXPECT_EQ(readText(dir / "b"), "from a");
    // An empty source is copied; a missing one is a failure that creates nothing.
    writeText(dir / "empty", "");
    EXPECT_TRUE(copyFileBytes(dir / "empty", dir / "empty.bak"));
    EXPECT_TRUE(fileExists(dir / "empty.bak"));
    EXPECT_FALSE(copyFileBytes(dir / "missing", dir / "missing.bak"));
    EXPECT_FALSE(exists(dir / "missing.bak"));
}

TEST(MakeDirsTest, CreatesEveryMissingLevel) {
    TempDir dir;
    makeDirs(dir / "new/deep/er");
    EXPECT_TRUE(folderExists(dir / "new"));
    EXPECT_TRUE(folderExists(dir / "new/deep"));
    EXPECT_TRUE(folderExists(dir / "new/deep/er"));
    // Existing levels are harmless and nothing else appears.
    writeText(dir / "new/deep/er/file", "x");
    makeDirs(dir / "new/deep/er");
    makeDirs(dir / "new/deep/er/");
    EXPECT_EQ(everything(dir / "new/deep/er"), Names{"file"});
    // A file in the way stops the levels below it without harm.
    makeDirs(dir / "new/deep/er/file/sub");
    EXPECT_TRUE(fileExists(dir / "new/deep/er/file"));
}

TEST(ListingTest, SubfoldersSortedWithoutDotNamesFilesOrLinksToFiles) {
    TempDir dir;
    for (const char* name : {"zeta", "Alpha", "beta", ".git", ".cache", "a.png"})
        fs::create_directory(dir / name);
    writeText(dir / "file.txt", "x");
    fs::create_directory_symlink(dir / "beta", dir / "linked");
    fs::create_symlink(dir / "file.txt", dir / "filelink");
    EXPECT_EQ(listSubdirs(dir.path()), (Names{"Alpha", "a.png", "beta", "linked", "zeta"}));
    EXPECT_TRUE(listSubdirs(dir / "missing").empty());
    EXPECT_TRUE(listSubdirs(dir / "file.txt").empty());
}

TEST(ListingTest, FilesMatchThePatternIgnoringLetterCase) {
    TempDir dir;
    for (const char* name :
         {"b.png", "A.PNG", "c.Png", ".hidden.png", "d.png.txt", "e.pngx", "notes.txt"}) {
        writeText(dir / name, "x");
    }
    fs::create_directory(dir / "folder.png");
    fs::create_symlink(dir / "b.png", dir / "link.png");
    fs::create_symlink(dir / "gone.png", dir / "dangling.png");
    EXPECT_EQ(listFiles(dir.path(), "*.png"),
              (Names{".hidden.png", "A.PNG", "b.png", "c.Png", "link.png"}));
    EXPECT_EQ(listFiles(dir.path(), "*.txt"), (Names{"d.png.txt", "notes.txt"}));
    EXPECT_EQ(listFiles(dir.path(), "*").size(), 8u);
    EXPECT_TRUE(listFiles(dir / "missing", "*").empty());
}

TEST(WildcardMatchTest, StarQuestionMarkAndCase) {
    using Pairs = std::initializer_list<std::pair<const char*, const char*>>;
    for (auto [pattern, name] : Pairs{{"*.json", "species.json"},
                                      {"*.json", "species.JSON"},
                                      {"*.json", ".json"},
                                      {"*", ""},
                                      {"", ""},
                                      {"a*b*c", "aXXbYYc"},
                                      {"*a*a", "banana"},
                                      {"?.png", "x.png"},
                                      // '?' stands for one character, not one byte.
                                      {"?.png", "é.png"},
                                      {"?", "😀"},
                                      {"a*??bc", "a€xbc"},
                                      {"ÉTÉ*", "ÉTÉ.png"}}) {
        EXPECT_TRUE(wildcardMatch(pattern, name)) << pattern << " vs " << name;
    }
    for (auto [pattern, name] : Pairs{{"*.json", "species.json.bak"},
                                      {"", "a"},
                                      {"a*b*c", "aXXbYY"},
                                      {"?.png", "xy.png"},
                                      {"??", "a"},
                                      {"??.png", "é.png"},
                                      {"a*??bc", "a€bc"},
                                      // Only ASCII letters fold.
                                      {"é.png", "É.png"}}) {
        EXPECT_FALSE(wildcardMatch(pattern, name)) << pattern << " vs " << name;
    }
}
