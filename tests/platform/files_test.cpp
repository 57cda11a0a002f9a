#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "support/test_app.h"

namespace fs = std::filesystem;
using platform::PathKind;

TEST(ReadWholeFileTest, OkTellsEmptyFromMissing) {
    TempDir dir;
    writeText(dir / "empty", "");
    bool ok = false;
    EXPECT_EQ(platform::readWholeFile(dir / "empty", &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(platform::readWholeFile(dir / "missing", &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(platform::readWholeFile(dir.path(), &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(platform::readWholeFile(dir / "missing"), "");  // ok may be left out
}

TEST(ReadWholeFileTest, AFifoUnderADocumentNameDoesNotHang) {
    TempDir dir;
    const std::string fifo = dir / "skins.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] {
        bool ok = true;
        std::string bytes = platform::readWholeFile(fifo, &ok);
        return ok || !bytes.empty();
    });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Opening the writing end releases a reader stuck in open(), so the test can end.
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        FAIL() << "reading a FIFO blocked";
    }
    EXPECT_FALSE(read.get());
}

TEST(WriteWholeFileTest, NewFilesFollowTheUmask) {
    TempDir dir;
    mode_t old = ::umask(022);
    bool written = platform::writeWholeFile(dir / "a", "x");
    bool replaced = platform::replaceWholeFile(dir / "b", "x");
    ::umask(old);
    ASSERT_TRUE(written);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(fs::status(dir / "a").permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(dir / "b").permissions(), fs::perms(0644));
}

TEST(PlatformPathKindTest, FollowsLinks) {
    TempDir dir;
    writeText(dir / "file", "x");
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "file", dir / "filelink");
    fs::create_directory_symlink(dir / "folder", dir / "folderlink");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(platform::pathKind(dir / "file"), PathKind::file);
    EXPECT_EQ(platform::pathKind(dir / "filelink"), PathKind::file);
    EXPECT_EQ(platform::pathKind(dir / "folder"), PathKind::folder);
    EXPECT_EQ(platform::pathKind(dir / "folderlink"), PathKind::folder);
    EXPECT_EQ(platform::pathKind(dir / "dangling"), PathKind::missing);
    EXPECT_EQ(platform::pathKind(""), PathKind::missing);
}

TEST(ListFolderTest, EveryEntryButDotDotDotAndDanglingLinks) {
    TempDir dir;
    writeText(dir / "file", "x");
    writeText(dir / ".hidden", "x");
    fs::create_directory(dir / "folder");
    fs::create_directory_symlink(dir / "folder", dir / "folderlink");
    fs::create_symlink(dir / "file", dir / "filelink");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    auto entries = platform::listFolder(dir.path());
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& e : entries)
        got.emplace_back(e.name, e.isFolder);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, bool>>{{".hidden", false},
                                                              {"file", false},
                                                              {"filelink", false},
                                                              {"folder", true},
                                                              {"folderlink", true}}));
    EXPECT_TRUE(platform::listFolder(dir / "missing").empty());
    EXPECT_TRUE(platform::listFolder(dir / "file").empty());
    EXPECT_TRUE(platform::listFolder("").empty());
}
