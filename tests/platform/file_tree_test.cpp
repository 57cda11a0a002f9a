#include "platform/file_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;
using platform::OwnKind;

namespace {

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

std::string contentOf(const std::string& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// dir: file (5 bytes), folder/, and the links to them and to nothing.
bool makeTree(const TempDir& dir) {
    put(dir / "file", "12345");
    fs::create_directory(dir / "folder");
    return makeSymlink(dir / "file", dir / "filelink") &&
           makeSymlink(dir / "folder", dir / "folderlink", true) &&
           makeSymlink(dir / "nowhere", dir / "dangling");
}

}  // namespace

// The same steps where no link can be made (Windows without the privilege, Wine).
TEST(FileTreeTest, PlainFilesAndFoldersWithoutLinks) {
    TempDir dir;
    put(dir / "file", "12345");
    fs::create_directories(dir / "folder/sub");
    put(dir / "folder/sub/f", "x");
    fs::create_directory(dir / "empty");
    EXPECT_EQ(platform::ownKindAt(dir / "file"), OwnKind::file);
    EXPECT_EQ(platform::ownKindAt(dir / "folder"), OwnKind::folder);
    EXPECT_EQ(platform::ownKindAt(dir / "missing"), OwnKind::missing);
    EXPECT_EQ(platform::fileSize(dir / "file").value_or(0), 5u);
    EXPECT_FALSE(platform::fileSize(dir / "folder"));
    EXPECT_FALSE(platform::fileSize(dir / "missing"));

    std::vector<std::pair<std::string, OwnKind>> seen;
    ASSERT_TRUE(platform::visitOwnEntries(dir.path(), [&](const platform::OwnEntry& entry) {
        seen.emplace_back(entry.name, entry.kind);
        return platform::Result<>();
    }));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, OwnKind>>{{"empty", OwnKind::folder},
                                                                  {"file", OwnKind::file},
                                                                  {"folder", OwnKind::folder}}));

    EXPECT_FALSE(platform::removeEntry(dir / "folder"));  // not empty
    EXPECT_TRUE(platform::removeEntry(dir / "empty"));
    EXPECT_TRUE(platform::removeEntry(dir / "file"));
    EXPECT_TRUE(platform::removeEntry(dir / "file"));  // gone already
    EXPECT_TRUE(platform::removeTree(dir / "folder"));
    EXPECT_TRUE(platform::removeTree(dir / "folder"));
    for (const char* gone : {"empty", "file", "folder"})
        EXPECT_EQ(platform::ownKindAt(dir / gone), OwnKind::missing) << gone;
}

TEST(FileTreeTest, OwnKindIsWhatThePathItselfIsAndSizeFollowsLinks) {
    TempDir dir;
    if (!makeTree(dir)) GTEST_SKIP() << kNoSymlinks;
    struct Case {
        const char* name;
        OwnKind kind;
        bool sized;
    };
    for (const Case& c :
         {Case{"file", OwnKind::file, true}, Case{"folder", OwnKind::folder, false},
          Case{"filelink", OwnKind::link, true}, Case{"folderlink", OwnKind::link, false},
          Case{"dangling", OwnKind::link, false}, Case{"missing", OwnKind::missing, false},
          Case{"file/below", OwnKind::missing, false}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::ownKindAt(dir / c.name), c.kind);
        const platform::Result<std::uint64_t> size = platform::fileSize(dir / c.name);
        EXPECT_EQ(size.has_value(), c.sized);
        EXPECT_EQ(size.value_or(0), c.sized ? 5u : 0u);
    }
}

TEST(FileTreeTest, RemovingNeverFollowsALinkAndNothingThereIsNoFailure) {
    TempDir dir;
    if (!makeTree(dir)) GTEST_SKIP() << kNoSymlinks;
    put(dir / "folder/kept", "k");
    fs::create_directories(dir / "tree/deep/er");
    put(dir / "tree/deep/er/f", "x");
    ASSERT_TRUE(makeSymlink(dir / "folder", dir / "tree/deep/out", true));

    EXPECT_TRUE(platform::removeTree(dir / "tree"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "tree")));
    EXPECT_TRUE(platform::removeTree(dir / "tree"));
    EXPECT_TRUE(platform::removeEntry(dir / "filelink"));
    EXPECT_TRUE(platform::removeEntry(dir / "folderlink"));
    EXPECT_EQ(contentOf(dir / "folder/kept"), "k");  // behind two removed links
    EXPECT_EQ(contentOf(dir / "file"), "12345");
    EXPECT_FALSE(platform::removeEntry(dir / "folder"));  // not empty
    EXPECT_TRUE(fs::exists(dir / "folder/kept"));
    EXPECT_TRUE(platform::removeEntry(dir / "missing"));
    EXPECT_TRUE(platform::removeEntry(dir / "dangling"));
    EXPECT_EQ(platform::ownKindAt(dir / "dangling"), OwnKind::missing);
}

TEST(FileTreeTest, MovesFilesAndFoldersAndLinksFilesUnderASecondName) {
    TempDir dir;
    put(dir / "a", "bytes");
    fs::create_directories(dir / "from/sub");
    put(dir / "from/sub/f", "in");
    ASSERT_TRUE(platform::moveEntry(dir / "from", dir / "to"));
    EXPECT_EQ(contentOf(dir / "to/sub/f"), "in");
    EXPECT_FALSE(fs::exists(dir / "from"));
    EXPECT_FALSE(platform::moveEntry(dir / "from", dir / "again"));

    ASSERT_TRUE(platform::makeHardLink(dir / "a", dir / "b"));
    put(dir / "a", "changed");  // the same file under both names
    EXPECT_EQ(contentOf(dir / "b"), "changed");
    EXPECT_FALSE(platform::makeHardLink(dir / "a", dir / "b"));  // the name is taken
    EXPECT_FALSE(platform::makeHardLink(dir / "missing", dir / "c"));
    EXPECT_EQ(platform::ownKindAt(dir / "c"), OwnKind::missing);
}

TEST(FileTreeTest, PathsResolveAndCompareByWholeComponents) {
    TempDir dir;
    fs::create_directories(dir / "dino/models");
    const platform::Result<std::string> base = platform::canonicalPath(dir / "dino");
    ASSERT_TRUE(base);
    const platform::Result<std::string> models =
        platform::canonicalPath(dir / "dino/models/../models");
    ASSERT_TRUE(models);
    EXPECT_EQ(*models, platform::joinPath(*base, "models"));
    EXPECT_FALSE(platform::canonicalPath(dir / "dino/none"));
    const platform::Result<std::string> weak = platform::weaklyCanonicalPath(dir / "dino/none/x");
    ASSERT_TRUE(weak);
    EXPECT_TRUE(platform::holdsPath(*base, *weak));

    struct Case {
        const char* outer;
        const char* inner;
        bool holds;
    };
    for (const Case& c : {Case{"/a/dino", "/a/dino", true}, Case{"/a/dino", "/a/dino/x/y", true},
                          Case{"/a/dino", "/a/dino2", false}, Case{"/a/dino2", "/a/dino", false},
                          Case{"/a/dino/x", "/a/dino", false}, Case{"/", "/a", true}}) {
        SCOPED_TRACE(std::string(c.outer) + " " + c.inner);
        EXPECT_EQ(platform::holdsPath(c.outer, c.inner), c.holds);
    }
    EXPECT_EQ(platform::parentPath("/a/b/c.log"), "/a/b");
    EXPECT_EQ(platform::parentPath("c.log"), "");
    const platform::Result<std::string> absolute = platform::absolutePath("rel/x");
    ASSERT_TRUE(absolute);
    EXPECT_TRUE(platform::holdsPath(platform::textOf(fs::current_path()), *absolute));
}

TEST(FileTreeTest, JoinsWithOneSeparator) {
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    EXPECT_EQ(platform::joinPath("/a", "b"), "/a" + sep + "b");
    EXPECT_EQ(platform::joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(platform::joinPath("a/b", "c.fbx"), "a/b" + sep + "c.fbx");
}

TEST(FileTreeTest, VisitsEachEntryAsItselfAndStopsAtTheVisitorsFailure) {
    TempDir dir;
    if (!makeTree(dir)) GTEST_SKIP() << kNoSymlinks;
    std::vector<std::pair<std::string, OwnKind>> seen;
    ASSERT_TRUE(platform::visitOwnEntries(dir.path(), [&](const platform::OwnEntry& entry) {
        seen.emplace_back(entry.name, entry.kind);
        return platform::Result<>();
    }));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, OwnKind>>{{"dangling", OwnKind::link},
                                                                  {"file", OwnKind::file},
                                                                  {"filelink", OwnKind::link},
                                                                  {"folder", OwnKind::folder},
                                                                  {"folderlink", OwnKind::link}}));

    int visits = 0;
    const platform::Result<> stopped =
        platform::visitOwnEntries(dir.path(), [&](const platform::OwnEntry&) {
            ++visits;
            return platform::Result<>(platform::fail(EPERM, "visit"));
        });
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().what, "visit");
    EXPECT_EQ(visits, 1);

    for (const char* none : {"missing", "file"}) {  // cannot be opened as a folder
        SCOPED_TRACE(none);
        EXPECT_TRUE(platform::visitOwnEntries(dir / none, [&](const platform::OwnEntry&) {
            ADD_FAILURE() << "an entry of what is no folder";
            return platform::Result<>();
        }));
    }
}
