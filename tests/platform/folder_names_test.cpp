#include "platform/folder_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;
using platform::EntryKind;

namespace {

std::vector<std::pair<std::string, EntryKind>> sortedNames(const std::string& folder) {
    std::vector<std::pair<std::string, EntryKind>> got;
    platform::Result<std::vector<platform::NamedEntry>> read = platform::readFolderNames(folder);
    if (!read) return got;
    for (const platform::NamedEntry& entry : *read)
        got.emplace_back(entry.name, entry.kind);
    std::sort(got.begin(), got.end());
    return got;
}

}  // namespace

TEST(ReadFolderNamesTest, EveryEntryWithItsKind) {
    TempDir dir;
    writeText(dir / "file.txt", "x");
    writeText(dir / ".hidden", "x");
    fs::create_directory(dir / "folder");
    fs::create_directory(fs::path(dir.path()) / fs::path(u8"\u00C9t\u00E9"));
    EXPECT_EQ(sortedNames(dir.path()), (std::vector<std::pair<std::string, EntryKind>>{
                                           {".hidden", EntryKind::file},
                                           {"file.txt", EntryKind::file},
                                           {"folder", EntryKind::folder},
                                           {"\xC3\x89t\xC3\xA9", EntryKind::folder}}));
    platform::Result<std::vector<platform::NamedEntry>> empty =
        platform::readFolderNames(dir / "folder");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(ReadFolderNamesTest, FailuresSayWhy) {
    TempDir dir;
    writeText(dir / "file.txt", "x");
    struct Case {
        std::string path;
        int code;
    };
    for (const Case& c : {Case{dir / "missing", ENOENT}, Case{dir / "missing/below", ENOENT},
                          Case{dir / "file.txt", ENOTDIR}}) {
        SCOPED_TRACE(c.path);
        platform::Result<std::vector<platform::NamedEntry>> read =
            platform::readFolderNames(c.path);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, c.code);
    }
}

TEST(ReadFolderNamesTest, LinksCountAsWhatTheyLeadTo) {
    TempDir dir;
    writeText(dir / "file.txt", "x");
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / "links");
    MAKE_SYMLINK_OR_SKIP(dir / "file.txt", dir / "links/to-file");
    ASSERT_TRUE(makeSymlink(dir / "folder", dir / "links/to-folder", true));
    ASSERT_TRUE(makeSymlink(dir / "nowhere", dir / "links/dangling"));
    EXPECT_EQ(sortedNames(dir / "links"),
              (std::vector<std::pair<std::string, EntryKind>>{{"dangling", EntryKind::other},
                                                              {"to-file", EntryKind::file},
                                                              {"to-folder", EntryKind::folder}}));
    EXPECT_EQ(platform::entryKindAt(dir / "links/to-folder"), EntryKind::folder);
    EXPECT_EQ(platform::entryKindAt(dir / "links/dangling"), EntryKind::other);
}

TEST(EntryKindAtTest, FilesFoldersAndNothing) {
    TempDir dir;
    writeText(dir / "file.txt", "x");
    EXPECT_EQ(platform::entryKindAt(dir / "file.txt"), EntryKind::file);
    EXPECT_EQ(platform::entryKindAt(dir.path()), EntryKind::folder);
    EXPECT_EQ(platform::entryKindAt(dir / "missing"), EntryKind::other);
    EXPECT_EQ(platform::entryKindAt(""), EntryKind::other);
}
