#include "platform/folder_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_app.h"
#include "symlinks.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using platform::PathKind;

namespace {

// What the lookup says of each path inside `folder` must be what pathKind says of the whole
// path, whatever stands there.
void expectAsByTheWholePath(const std::string& folder, const std::vector<std::string>& paths) {
    const platform::FolderLookup lookup(folder);
    for (const std::string& relative : paths)
        EXPECT_EQ(lookup.kind(relative), platform::pathKind(folder + "/" + relative))
            << folder << " / " << relative;
}

const std::vector<std::string> kInside = {"file.lua",       "sub",
                                          "sub/inner.lua",  "sub/missing.lua",
                                          "missing",        "missing/file.lua",
                                          "file.lua/below", "link-to-file",
                                          "link-to-folder", "link-to-folder/inner.lua",
                                          "dangling",       "FILE.LUA"};

}  // namespace

TEST(FolderLookupTest, AnswersAsByTheWholePath) {
    TempDir dir;
    const std::string folder = dir / "resources";
    writeText(folder + "/file.lua", "x");
    writeText(folder + "/sub/inner.lua", "y");
    const bool links = makeSymlink(folder + "/file.lua", folder + "/link-to-file") &&
                       makeSymlink(folder + "/sub", folder + "/link-to-folder", true) &&
                       makeSymlink(folder + "/gone", folder + "/dangling");
    expectAsByTheWholePath(folder, kInside);
    const platform::FolderLookup lookup(folder);
    EXPECT_EQ(lookup.kind("file.lua"), PathKind::file);
    EXPECT_EQ(lookup.kind("sub"), PathKind::folder);
    EXPECT_EQ(lookup.kind("sub/inner.lua"), PathKind::file);
    EXPECT_EQ(lookup.kind("missing"), PathKind::missing);
    EXPECT_EQ(lookup.kind(""), PathKind::missing);
    if (links) {
        EXPECT_EQ(lookup.kind("link-to-file"), PathKind::file);
        EXPECT_EQ(lookup.kind("link-to-folder/inner.lua"), PathKind::file);
        EXPECT_EQ(lookup.kind("dangling"), PathKind::missing);
    }
    // A folder that is missing or a file has nothing in it.
    expectAsByTheWholePath(dir / "none", kInside);
    expectAsByTheWholePath(folder + "/file.lua", kInside);
    EXPECT_EQ(platform::FolderLookup(dir / "none").kind("file.lua"), PathKind::missing);
    EXPECT_EQ(platform::FolderLookup("").kind("file.lua"), PathKind::missing);
}

TEST(FolderLookupTest, AFolderThatIsALinkIsLookedUpWhereItLeads) {
    TempDir dir;
    writeText(dir / "real/file.lua", "x");
    if (!makeSymlink(dir / "real", dir / "resources", true)) GTEST_SKIP() << kNoSymlinks;
    expectAsByTheWholePath(dir / "resources", kInside);
    EXPECT_EQ(platform::FolderLookup(dir / "resources").kind("file.lua"), PathKind::file);
}

#ifndef _WIN32
TEST(FolderLookupTest, NeedsTheRightsAskingByTheWholePathNeeds) {
    if (::geteuid() == 0) GTEST_SKIP() << "root is never refused";
    TempDir dir;
    const std::string folder = dir / "resources";
    writeText(folder + "/file.lua", "x");
    writeText(folder + "/sub/inner.lua", "y");
    // Listed but not entered; entered but not listed; neither.
    for (const mode_t mode : {0444, 0111, 0000}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
        expectAsByTheWholePath(folder, kInside);
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    }
}
#endif
