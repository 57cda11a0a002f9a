#include "platform/files.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;
using platform::PathKind;

namespace {

// The bytes read, or empty; `ok` tells which.
std::string readReporting(const std::string& path, bool* ok = nullptr) {
    platform::Result<std::string> bytes = platform::readWholeFile(path);
    if (ok) *ok = bytes.has_value();
    return bytes.value_or(std::string());
}

}  // namespace

TEST(ReadWholeFileTest, OkTellsEmptyFromMissing) {
    TempDir dir;
    writeText(dir / "empty", "");
    bool ok = false;
    EXPECT_EQ(readReporting(dir / "empty", &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(readReporting(dir / "missing", &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(readReporting(dir.path(), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(readReporting(dir / "missing"), "");  // ok may be left out
}

TEST(ReadWholeFileTest, AFifoUnderADocumentNameDoesNotHang) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows file systems hold no FIFOs; files_win32_test.cpp checks that "
                    "device names are not read";
#else
    TempDir dir;
    const std::string fifo = dir / "skins.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] {
        bool ok = true;
        std::string bytes = readReporting(fifo, &ok);
        return ok || !bytes.empty();
    });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Opening the writing end releases a reader stuck in open(), so the test can end.
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_FALSE(read.get());
#endif
}

TEST(WriteWholeFileTest, NewFilesFollowTheUmask) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no umask: new files take their folder's inherited rights, "
                    "and files_win32_test.cpp checks that a save keeps a file's own rights";
#else
    TempDir dir;
    mode_t old = ::umask(022);
    bool written = platform::writeWholeFile(dir / "a", "x").has_value();
    bool replaced = platform::replaceWholeFile(dir / "b", "x").has_value();
    ::umask(old);
    ASSERT_TRUE(written);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(fs::status(dir / "a").permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(dir / "b").permissions(), fs::perms(0644));
#endif
}

TEST(PlatformPathKindTest, TellsFilesFoldersAndNothing) {
    TempDir dir;
    writeText(dir / "file", "x");
    fs::create_directory(dir / "folder");
    EXPECT_EQ(platform::pathKind(dir / "file"), PathKind::file);
    EXPECT_EQ(platform::pathKind(dir / "folder"), PathKind::folder);
    EXPECT_EQ(platform::pathKind(dir / "missing"), PathKind::missing);
    EXPECT_EQ(platform::pathKind(dir / "file/below"), PathKind::missing);
    EXPECT_EQ(platform::pathKind(""), PathKind::missing);
}

TEST(PlatformPathKindTest, FollowsLinks) {
    TempDir dir;
    writeText(dir / "file", "x");
    fs::create_directory(dir / "folder");
    MAKE_SYMLINK_OR_SKIP(dir / "file", dir / "filelink");
    ASSERT_TRUE(makeSymlink(dir / "folder", dir / "folderlink", true));
    ASSERT_TRUE(makeSymlink(dir / "nowhere", dir / "dangling"));
    EXPECT_TRUE(platform::isSymbolicLink(dir / "filelink"));
    EXPECT_TRUE(platform::isSymbolicLink(dir / "folderlink"));
    EXPECT_TRUE(platform::isSymbolicLink(dir / "dangling"));
    EXPECT_FALSE(platform::isSymbolicLink(dir / "file"));
    EXPECT_FALSE(platform::isSymbolicLink(dir / "folder"));
    EXPECT_FALSE(platform::isSymbolicLink(dir / "missing"));
    EXPECT_EQ(platform::pathKind(dir / "file"), PathKind::file);
    EXPECT_EQ(platform::pathKind(dir / "filelink"), PathKind::file);
    EXPECT_EQ(platform::pathKind(dir / "folder"), PathKind::folder);
    EXPECT_EQ(platform::pathKind(dir / "folderlink"), PathKind::folder);
    EXPECT_EQ(platform::pathKind(dir / "dangling"), PathKind::missing);
    EXPECT_EQ(platform::pathKind(""), PathKind::missing);
}

namespace {

// The entries as (name, isFolder), sorted by name.
std::vector<std::pair<std::string, bool>> sortedEntries(const std::string& folder) {
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& e : platform::listFolder(folder))
        got.emplace_back(e.name, e.isFolder);
    std::sort(got.begin(), got.end());
    return got;
}

}  // namespace

TEST(ListFolderTest, EveryEntryButDotAndDotDot) {
    TempDir dir;
    writeText(dir / "file", "x");
    writeText(dir / ".hidden", "x");
    fs::create_directory(dir / "folder");
    // Names beyond ASCII come back as UTF-8 on every system (made here through the standard
    // library's own conversion, not the one under test).
    std::ofstream(fs::path(dir.path()) / fs::path(u8"w\u00F6lf.json")) << "x";
    fs::create_directory(fs::path(dir.path()) / fs::path(u8"\u72FC\U0001F43A"));
    EXPECT_EQ(sortedEntries(dir.path()),
              (std::vector<std::pair<std::string, bool>>{{".hidden", false},
                                                         {"file", false},
                                                         {"folder", true},
                                                         {"w\xC3\xB6lf.json", false},
                                                         {"\xE7\x8B\xBC\xF0\x9F\x90\xBA", true}}));
    // A folder named with its trailing separator lists the same.
    EXPECT_EQ(sortedEntries(dir.path() + "/").size(), 5u);
}

TEST(ListFolderTest, LinksAreFollowedAndDanglingOnesLeftOut) {
    TempDir dir;
    writeText(dir / "file", "x");
    fs::create_directory(dir / "folder");
    MAKE_SYMLINK_OR_SKIP(dir / "folder", dir / "folderlink", true);
    ASSERT_TRUE(makeSymlink(dir / "file", dir / "filelink"));
    ASSERT_TRUE(makeSymlink(dir / "nowhere", dir / "dangling"));
    EXPECT_EQ(sortedEntries(dir.path()),
              (std::vector<std::pair<std::string, bool>>{
                  {"file", false}, {"filelink", false}, {"folder", true}, {"folderlink", true}}));
}

TEST(ListFolderTest, NothingWhereNoFolderIs) {
    TempDir dir;
    writeText(dir / "file", "x");
    EXPECT_TRUE(platform::listFolder(dir / "missing").empty());
    EXPECT_TRUE(platform::listFolder(dir / "file").empty());
    EXPECT_TRUE(platform::listFolder("").empty());
}

TEST(PlatformFailureTest, FailuresCarryTheSystemsErrorNumber) {
    TempDir dir;
    writeText(dir / "file", "x");
    struct Case {
        std::string name;
        platform::Result<> result;
        int code;
    };
    const std::vector<Case> cases = {
        {"write into a missing folder", platform::writeWholeFile(dir / "none/a", "x"), ENOENT},
        {"replace into a missing folder", platform::replaceWholeFile(dir / "none/a", "x"), ENOENT},
        {"rename a missing file", platform::renameReplacing(dir / "none", dir / "b"), ENOENT},
        {"make an existing folder", platform::makeFolder(dir.path()), EEXIST},
        {"make a folder below a file", platform::makeFolder(dir / "file/sub"), ENOTDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.result);
        EXPECT_EQ(c.result.error().code, c.code);
        EXPECT_FALSE(c.result.error().what.empty());
    }
    EXPECT_EQ(platform::readWholeFile(dir / "none").error().code, ENOENT);
    EXPECT_EQ(platform::readWholeFile(dir.path()).error().code, EISDIR);
}
