// What the whole-file services mean on Windows where Linux has no counterpart: access lists
// instead of mode bits, reserved device names, read-only entries, long paths, links that are
// reparse points.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files_rights_win32.h"
#include "platform/files.h"
#include "platform/folder_access.h"
#include "platform/folder_names.h"
#include "platform/private_file.h"
#include "platform/win32/wide.h"
#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;
using platform::win32::toWide;

namespace {

std::vector<Grant> ownGrants(const std::string& path) {
    std::vector<Grant> own;
    for (const Grant& grant : rightsOf(path).grants)
        if (!grant.inherited) own.push_back(grant);
    return own;
}

}  // namespace

TEST(FilesWin32Test, ASaveKeepsTheRightsTheFileHeldItself) {
    const std::wstring user = toWide(currentUserSid());
    struct Case {
        const char* name;
        std::wstring sddl;
    };
    const Case cases[] = {
        // An owner locked server.cfg down: nothing inherited, only they may open it.
        {"locked down", L"D:P(A;;FA;;;" + user + L")"},
        // Someone granted everyone reading on top of what the folder passes on.
        {"one more reader", L"D:(A;;FR;;;WD)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "server.cfg";
        ASSERT_TRUE(createWithRights(path, c.sddl));
        const FileRights before = rightsOf(path);
        ASSERT_TRUE(platform::replaceWholeFile(path, "sv_rconpassword new"));
        EXPECT_EQ(readText(path), "sv_rconpassword new");
        const FileRights after = rightsOf(path);
        EXPECT_EQ(after.grants, before.grants);
    }
}

TEST(FilesWin32Test, ANewFileTakesWhatItsFolderPassesOn) {
    TempDir dir;
    writeText(dir / "plain.cfg", "old");
    ASSERT_TRUE(platform::replaceWholeFile(dir / "made.cfg", "new"));
    ASSERT_TRUE(platform::replaceWholeFile(dir / "plain.cfg", "new"));
    // Saved or made anew, a file gets nothing of its own beyond what a file made by any
    // other program there would get.
    EXPECT_EQ(ownGrants(dir / "made.cfg"), ownGrants(dir / "plain.cfg"));
    writeText(dir / "other.cfg", "x");
    EXPECT_EQ(ownGrants(dir / "made.cfg"), ownGrants(dir / "other.cfg"));
}

TEST(FilesWin32Test, ReservedDeviceNamesAreNeverReadAsFiles) {
    TempDir dir;
    writeText(dir / "x.txt", "x");
    // Reading the console would wait for typing for ever, so a fault here hangs the test.
    for (const char* device : {"CON", "NUL", "AUX", "COM1"}) {
        SCOPED_TRACE(device);
        EXPECT_FALSE(platform::readWholeFile(dir / device));
        EXPECT_FALSE(platform::openInsideFolder(dir.path(), device));
        EXPECT_NE(platform::entryKindAt(dir / device), platform::EntryKind::file);
    }
}

TEST(FilesWin32Test, AFileAnotherProgramHoldsOpenForWritingCanBeRead) {
    TempDir dir;
    writeText(dir / "live.log", "line");
    HANDLE writer = ::CreateFileW(toWide(dir / "live.log").c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    platform::Result<std::string> bytes = platform::readWholeFile(dir / "live.log");
    ::CloseHandle(writer);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, "line");
}

TEST(FilesWin32Test, ReadOnlyEntriesOfTheToolAreReplacedAndRemoved) {
    TempDir dir;
    for (const char* name : {"job.txt", "gone.txt"}) {
        writeText(dir / name, "old");
        ASSERT_TRUE(::SetFileAttributesW(toWide(dir / name).c_str(), FILE_ATTRIBUTE_READONLY));
    }
    ASSERT_TRUE(platform::createWholeFile(dir / "job.txt", "new"));
    EXPECT_EQ(readText(dir / "job.txt"), "new");
    EXPECT_TRUE(platform::removeFile(dir / "gone.txt"));
    EXPECT_FALSE(fs::exists(dir / "gone.txt"));
}

TEST(FilesWin32Test, PathsBeyondTheOldLengthLimitWork) {
    TempDir dir;
    std::string deep = dir.path();
    while (deep.size() < 400) {
        deep += "/a-folder-name-of-some-length";
        ASSERT_TRUE(platform::makeFolder(deep)) << deep.size();
    }
    const std::string file = deep + "/server.cfg";
    ASSERT_TRUE(platform::writeWholeFile(file, "one"));
    ASSERT_TRUE(platform::replaceWholeFile(file, "two"));
    ASSERT_TRUE(platform::createWholeFile(deep + "/job.txt", "three"));
    EXPECT_EQ(platform::readWholeFile(file).value_or(""), "two");
    EXPECT_EQ(platform::pathKind(file), platform::PathKind::file);
    EXPECT_EQ(platform::pathKind(deep), platform::PathKind::folder);
    EXPECT_EQ(platform::listFolder(deep).size(), 2u);
    platform::Result<std::vector<platform::NamedEntry>> names = platform::readFolderNames(deep);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 2u);
    ASSERT_TRUE(platform::replacePrivateFile(deep + "/auth.json", "secret"));
    EXPECT_TRUE(platform::removeFile(deep + "/auth.json"));
    EXPECT_EQ(platform::pathKind(deep + "/auth.json"), platform::PathKind::missing);
}

TEST(FilesWin32Test, APlantedLinkIsReplacedAndWhatItNamesKept) {
    TempDir dir;
    writeText(dir / "outside/victim.txt", "VICTIM");
    fs::create_directories(dir / "jobs");
    fs::create_directories(dir / "outside/folder");
    MAKE_SYMLINK_OR_SKIP(dir / "outside/victim.txt", dir / "jobs/job.txt");
    ASSERT_TRUE(makeSymlink(dir / "outside/folder", dir / "jobs/record.txt", true));
    for (const char* name : {"jobs/job.txt", "jobs/record.txt"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(platform::createWholeFile(dir / name, "MINE"));
        EXPECT_FALSE(platform::isSymbolicLink(dir / name));
        EXPECT_EQ(readText(dir / name), "MINE");
    }
    EXPECT_EQ(readText(dir / "outside/victim.txt"), "VICTIM");
    EXPECT_TRUE(fs::is_directory(dir / "outside/folder"));
}

TEST(FilesWin32Test, ASaveThroughALinkReplacesWhatItNamesAndKeepsTheLink) {
    TempDir dir;
    writeText(dir / "real/server.cfg", "old");
    fs::create_directories(dir / "root");
    MAKE_SYMLINK_OR_SKIP("..\\real\\server.cfg", dir / "root/server.cfg");
    ASSERT_TRUE(makeSymlink(dir / "root/server.cfg", dir / "root/chained.cfg"));
    ASSERT_TRUE(makeSymlink(dir / "real/new.cfg", dir / "root/dangling.cfg"));
    struct Case {
        std::string link, target, bytes;
    };
    for (const Case& c : {Case{"root/server.cfg", "real/server.cfg", "new"},
                          Case{"root/chained.cfg", "real/server.cfg", "newer"},
                          Case{"root/dangling.cfg", "real/new.cfg", "made"}}) {
        SCOPED_TRACE(c.link);
        ASSERT_TRUE(platform::replaceWholeFile(dir / c.link, c.bytes));
        EXPECT_TRUE(platform::isSymbolicLink(dir / c.link));
        EXPECT_EQ(readText(dir / c.target), c.bytes);
    }
    // The tool's own files replace a link instead.
    ASSERT_TRUE(
        platform::replaceWholeFile(dir / "root/server.cfg", "own", platform::AtLink::replace));
    EXPECT_FALSE(platform::isSymbolicLink(dir / "root/server.cfg"));
    EXPECT_EQ(readText(dir / "real/server.cfg"), "newer");
}
