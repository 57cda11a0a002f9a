#include "platform/unpacked_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_app.h"
#include "symlinks.h"

namespace fs = std::filesystem;

namespace {

// Every name in the folder, so a left-over temporary shows.
std::string names(const std::string& folder) {
    std::string all;
    for (const auto& entry : fs::directory_iterator(folder))
        all += entry.path().filename().string() + ";";
    return all;
}

}  // namespace

TEST(CopyUnpackedFileTest, CopiesAFileOfItsOwnOverTheTarget) {
    TempDir dir;
    writeText(dir / "out/species.pak", std::string("PAK\0\r\n\x1A", 7));
    writeText(dir / "mods/species.pak", "old");
    ASSERT_TRUE(platform::copyUnpackedFile(dir / "out/species.pak", dir / "mods/species.pak"));
    EXPECT_EQ(readText(dir / "mods/species.pak"), std::string("PAK\0\r\n\x1A", 7));
    EXPECT_EQ(names(dir / "mods"), "species.pak;");
}

TEST(CopyUnpackedFileTest, ASecondNameOrAFolderIsRefusedAndTheTargetKept) {
    TempDir dir;
    writeText(dir / "secret.txt", "SECRET");
    fs::create_directories(dir / "out/folder.pak");
    // An archive may hold a hard link to any file it names.
    fs::create_hard_link(dir / "secret.txt", dir / "out/linked.pak");
    writeText(dir / "mods/species.pak", "old");
    for (const char* source : {"out/linked.pak", "out/folder.pak", "out/missing.pak"}) {
        SCOPED_TRACE(source);
        EXPECT_FALSE(platform::copyUnpackedFile(dir / source, dir / "mods/species.pak"));
        EXPECT_EQ(readText(dir / "mods/species.pak"), "old");
        EXPECT_EQ(names(dir / "mods"), "species.pak;");
    }
}

TEST(CopyUnpackedFileTest, ASymbolicLinkIsRefused) {
    TempDir dir;
    writeText(dir / "secret.txt", "SECRET");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "mods");
    MAKE_SYMLINK_OR_SKIP(dir / "secret.txt", dir / "out/species.pak");
    EXPECT_FALSE(platform::copyUnpackedFile(dir / "out/species.pak", dir / "mods/species.pak"));
    EXPECT_EQ(names(dir / "mods"), "");
}

TEST(CopyUnpackedFileTest, AFailedCopyLeavesNoTemporary) {
    TempDir dir;
    writeText(dir / "out/species.pak", "PAK");
    fs::create_directories(dir / "mods/species.pak/inside");
    EXPECT_FALSE(platform::copyUnpackedFile(dir / "out/species.pak", dir / "mods/species.pak"));
    EXPECT_TRUE(fs::is_directory(dir / "mods/species.pak/inside"));
    EXPECT_EQ(names(dir / "mods"), "species.pak;");
}
