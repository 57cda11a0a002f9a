#include "bridge/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/symlinks.h"
#include "support/file_facts.h"
#include "support/held_files.h"
#include "support/test_app.h"

namespace bridge {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FileBytesTest, WriteThenReadKeepsEveryByteAndFailuresAreEmptyOrFalse) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 70'000; ++i)  // more than one read chunk
        bytes += static_cast<char>(i * 7);
    ASSERT_TRUE(platform::writeWholeFile(dir / "data.bin", bytes));
    EXPECT_EQ(readFileBytes(dir / "data.bin"), bytes);
    ASSERT_TRUE(platform::writeWholeFile(dir / "data.bin", "short"));  // truncates
    EXPECT_EQ(readFileBytes(dir / "data.bin"), "short");
    EXPECT_EQ(readFileBytes(dir / "missing"), "");
    EXPECT_EQ(readFileBytes(dir.path()), "");
    EXPECT_FALSE(platform::writeWholeFile(dir / "no/such/folder/file", "x"));
    EXPECT_FALSE(platform::writeWholeFile(dir.path(), "x"));
}

TEST(FileBytesTest, ReadsAFileAnotherWriterHoldsLocked) {
    TempDir dir;
    const std::string path = dir / "log.txt";
    HeldForWriting writer(path, "partial");
    ASSERT_TRUE(writer.holds());
    EXPECT_EQ(readFileBytes(path), "partial");
}

TEST(ReplaceFileBytesTest, ReplacesOrCreatesWithoutLeavingATemporaryFile) {
    TempDir dir;
    const std::string path = dir / "server.cfg";
    ASSERT_TRUE(platform::replaceWholeFile(path, "first"));
    EXPECT_EQ(readText(path), "first");
    ASSERT_TRUE(platform::replaceWholeFile(path, "second, longer"));
    EXPECT_EQ(readText(path), "second, longer");
    ASSERT_TRUE(platform::replaceWholeFile(path, ""));
    EXPECT_EQ(readText(path), "");
    EXPECT_EQ(folderNames(dir.path()), Names{"server.cfg"});
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
    ASSERT_TRUE(platform::replaceWholeFile(dir / "server.cfg", "new"));
    Names expected = kept;
    expected.push_back("server.cfg");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderNames(dir.path()), expected);
}

TEST(ReplaceFileBytesTest, FailureOverAFolderLeavesItAsItWas) {
    TempDir dir;
    writeText(dir / "target/inside.txt", "keep");
    EXPECT_FALSE(platform::replaceWholeFile(dir / "target", "new"));
    EXPECT_EQ(readText(dir / "target/inside.txt"), "keep");
    EXPECT_EQ(folderNames(dir.path()), Names{"target"});
    EXPECT_FALSE(platform::replaceWholeFile(dir / "missing/file", "new"));
}

TEST(MoveAndCopyTest, MoveReplacesTheTargetAndCopyKeepsTheSource) {
    TempDir dir;
    writeText(dir / "a", "from a");
    writeText(dir / "b", "old b");
    ASSERT_TRUE(platform::renameReplacing(dir / "a", dir / "b"));
    EXPECT_EQ(readText(dir / "b"), "from a");
    EXPECT_FALSE(exists(dir / "a"));
    EXPECT_FALSE(platform::renameReplacing(dir / "a", dir / "c"));

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
    EXPECT_TRUE(makeDirs(dir / "new/deep/er"));
    EXPECT_TRUE(folderExists(dir / "new"));
    EXPECT_TRUE(folderExists(dir / "new/deep"));
    EXPECT_TRUE(folderExists(dir / "new/deep/er"));
    // Existing levels are harmless and nothing else appears.
    writeText(dir / "new/deep/er/file", "x");
    EXPECT_TRUE(makeDirs(dir / "new/deep/er"));
    EXPECT_TRUE(makeDirs(dir / "new/deep/er/"));
    EXPECT_EQ(folderNames(dir / "new/deep/er"), Names{"file"});
    // A file in the way stops the levels below it without harm, and is a failure.
    EXPECT_FALSE(makeDirs(dir / "new/deep/er/file/sub"));
    EXPECT_FALSE(makeDirs(dir / "new/deep/er/file"));
    EXPECT_TRUE(fileExists(dir / "new/deep/er/file"));
}

TEST(ListingTest, SubfoldersSortedWithoutDotNamesFilesOrLinksToFiles) {
    TempDir dir;
    for (const char* name : {"zeta", "Alpha", "beta", ".git", ".cache", "a.png"})
        fs::create_directory(dir / name);
    writeText(dir / "file.txt", "x");
    // Where links can be made (not under Wine), one to a folder lists and one to a file not.
    const bool links = makeSymlink(dir / "beta", dir / "linked", true) &&
                       makeSymlink(dir / "file.txt", dir / "filelink");
    Names expected = {"Alpha", "a.png", "beta", "zeta"};
    if (links) expected.insert(expected.begin() + 3, "linked");
    EXPECT_EQ(listSubdirs(dir.path()), expected);
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
    // Where links can be made (not under Wine), one to a file lists and a dangling one not.
    const bool links = makeSymlink(dir / "b.png", dir / "link.png") &&
                       makeSymlink(dir / "gone.png", dir / "dangling.png");
    Names pngs = {".hidden.png", "A.PNG", "b.png", "c.Png"};
    if (links) pngs.push_back("link.png");
    EXPECT_EQ(listFiles(dir.path(), "*.png"), pngs);
    EXPECT_EQ(listFiles(dir.path(), "*.txt"), (Names{"d.png.txt", "notes.txt"}));
    EXPECT_EQ(listFiles(dir.path(), "*").size(), links ? 8u : 7u);
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

}  // namespace bridge
