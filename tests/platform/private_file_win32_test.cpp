// On Windows a secret file is kept from others by its access list, not by mode 0600: only
// its owner is let in, from the moment the file exists, whatever its folder passes on.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "files_rights_win32.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "platform/win32/wide.h"
#include "support/test_app.h"

namespace fs = std::filesystem;

namespace {

// Everyone who is let in besides the owner (and the system account, which reads every file
// anyway), and whether the owner may read and write.
void expectOwnerOnly(const std::string& path) {
    const FileRights rights = rightsOf(path);
    ASSERT_TRUE(rights.readable) << path;
    EXPECT_EQ(rights.owner, currentUserSid());
    ASSERT_TRUE(rights.hasList) << "a file without an access list is open to everyone";
    bool ownerReadsAndWrites = false;
    for (const Grant& grant : rights.grants) {
        SCOPED_TRACE(grant.who);
        EXPECT_FALSE(grant.inherited) << "an entry passed on by the folder";
        if (!grant.allows) continue;
        if (grant.who == rights.owner) {
            constexpr ACCESS_MASK kReadWrite = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
            ownerReadsAndWrites = (grant.rights & kReadWrite) == kReadWrite;
            continue;
        }
        EXPECT_EQ(grant.who, kSystemSid) << "someone else is let in";
    }
    EXPECT_TRUE(ownerReadsAndWrites);
}

std::string onlyName(const std::string& folder) {
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder))
        names += entry.path().filename().string() + ";";
    return names;
}

}  // namespace

TEST(PrivateFileWin32Test, ANewSecretLetsOnlyItsOwnerIn) {
    TempDir dir;
    ASSERT_TRUE(platform::replacePrivateFile(dir / "build-auth.json", "{\"token\":\"t\"}"));
    EXPECT_EQ(readText(dir / "build-auth.json"), "{\"token\":\"t\"}");
    expectOwnerOnly(dir / "build-auth.json");
    EXPECT_EQ(onlyName(dir.path()), "build-auth.json;");
}

TEST(PrivateFileWin32Test, AFolderThatLetsEveryoneInPassesNothingOn) {
    TempDir dir;
    // A folder whose rights every new file inherits: everyone may do everything.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, open, FALSE};
    const std::string folder = dir / "open";
    ASSERT_TRUE(::CreateDirectoryW(platform::win32::toWide(folder).c_str(), &attributes));
    ::LocalFree(open);
    ASSERT_TRUE(platform::replacePrivateFile(folder + "/build-auth.json", "secret"));
    expectOwnerOnly(folder + "/build-auth.json");
}

TEST(PrivateFileWin32Test, AnOldFileThatLetEveryoneInIsReplacedByAnOwnerOnlyOne) {
    TempDir dir;
    const std::string path = dir / "build-auth.json";
    ASSERT_TRUE(createWithRights(path, L"D:P(A;;FA;;;WD)"));
    bool everyoneBefore = false;
    for (const Grant& grant : rightsOf(path).grants)
        everyoneBefore |= grant.who == "S-1-1-0" && grant.allows;
    ASSERT_TRUE(everyoneBefore) << "the test needs a file open to everyone to begin with";
    ASSERT_TRUE(platform::replacePrivateFile(path, "new"));
    EXPECT_EQ(readText(path), "new");
    expectOwnerOnly(path);
}

TEST(PrivateFileWin32Test, AFailedReplaceLeavesTheTargetAndNoTemporary) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    writeText(dir / "folder/inside.txt", "keep");
    platform::Result<> overFolder = platform::replacePrivateFile(dir / "folder", "secret");
    EXPECT_FALSE(overFolder);
    EXPECT_EQ(readText(dir / "folder/inside.txt"), "keep");
    EXPECT_EQ(onlyName(dir.path()), "folder;");
    platform::Result<> missing = platform::replacePrivateFile(dir / "none/auth.json", "secret");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
}

TEST(PrivateFileWin32Test, RemoveDeletesEvenAReadOnlyFileAndMissingIsNoFailure) {
    TempDir dir;
    writeText(dir / "auth.json", "x");
    ASSERT_TRUE(::SetFileAttributesW(platform::win32::toWide(dir / "auth.json").c_str(),
                                     FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(platform::removeFile(dir / "auth.json"));
    EXPECT_FALSE(fs::exists(dir / "auth.json"));
    EXPECT_TRUE(platform::removeFile(dir / "auth.json"));
    EXPECT_TRUE(platform::removeFile(dir / "none/auth.json"));
}
