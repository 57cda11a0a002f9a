#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "support/scoped_env.h"
#include "support/test_app.h"

namespace fs = std::filesystem;

namespace {

// The path this test program was started by.
fs::path thisProgram() {
#ifdef _WIN32
    return fs::absolute(fs::path(__wargv[0]));
#else
    return fs::absolute(program_invocation_name);
#endif
}

}  // namespace

#ifdef _WIN32

TEST(AppDataFolderTest, IsInLocalAppDataAndCreatedThere) {
    TempDir dir;
    ScopedEnv local("LOCALAPPDATA", dir / "local/deeper");
    // Windows' own separator joins the folder's name on, as an owner would write it.
    EXPECT_EQ(platform::appDataFolder(), dir / "local/deeper\\VarraForgeset");
    EXPECT_TRUE(fs::is_directory(dir / "local/deeper/VarraForgeset"));
}

TEST(AppDataFolderTest, WithoutAUsableVariableTheSystemsFolderIsUsed) {
    std::string systems;
    {
        ScopedEnv local("LOCALAPPDATA", nullptr);
        systems = platform::appDataFolder();
    }
    ASSERT_TRUE(systems.ends_with("\\VarraForgeset")) << systems;
    EXPECT_TRUE(fs::path(systems).is_absolute()) << systems;
    EXPECT_TRUE(fs::is_directory(systems)) << systems;
    // A relative value would follow whatever the current folder is.
    ScopedEnv relative("LOCALAPPDATA", "relative\\data");
    EXPECT_EQ(platform::appDataFolder(), systems);
    EXPECT_FALSE(fs::exists("relative"));
}

TEST(HomeFolderTest, IsTheProfileElseTheSystemDrivesRoot) {
    TempDir dir;
    {
        ScopedEnv profile("USERPROFILE", dir / "owner");
        EXPECT_EQ(platform::homeFolder(), dir / "owner");
    }
    ScopedEnv drive("SystemDrive", "D:");
    for (const char* unusable :
         {static_cast<const char*>(nullptr), "", "relative\\owner", "\\\\.\\pipe"}) {
        ScopedEnv profile("USERPROFILE", unusable);
        EXPECT_EQ(platform::homeFolder(), "D:\\") << (unusable ? unusable : "unset");
    }
}

TEST(FullPathTest, DrivesAndSharesButNotDevicesOrTheCurrentFolder) {
    const std::pair<std::string, bool> cases[] = {
        {"C:\\", true},
        {"Z:\\tmp\\server", true},
        {"c:/users/owner", true},
        {"\\\\nas\\varra", true},
        {"//nas/varra", true},
        {"C:", false},
        {"C:tmp", false},
        {"\\tmp", false},
        {"/tmp", false},
        {"tmp\\server", false},
        {"", false},
        {"\\\\.\\pipe\\x", false},
        {"\\\\?\\C:\\x", false},
        {"\\\\\\x", false},
        {std::string("C:\\a\0b", 6), false},
    };
    for (const auto& [path, full] : cases)
        EXPECT_EQ(platform::isFullPath(path), full) << path;
}

#else

TEST(AppDataFolderTest, PrefersXdgDataHomeAndCreatesIt) {
    TempDir dir;
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "xdg/deeper").c_str());
    ScopedEnv home("HOME", (dir / "home").c_str());
    EXPECT_EQ(platform::appDataFolder(), dir / "xdg/deeper/VarraForgeset");
    EXPECT_TRUE(fs::is_directory(dir / "xdg/deeper/VarraForgeset"));
    EXPECT_FALSE(fs::exists(dir / "home"));
}

TEST(AppDataFolderTest, FallsBackToHomeThenToTheCurrentFolder) {
    TempDir dir;
    ScopedEnv home("HOME", dir.path().c_str());
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(platform::appDataFolder(), dir / ".local/share/VarraForgeset");
        EXPECT_TRUE(fs::is_directory(dir / ".local/share/VarraForgeset"));
    }
    {
        // An empty variable counts as unset.
        ScopedEnv xdg("XDG_DATA_HOME", "");
        EXPECT_EQ(platform::appDataFolder(), dir / ".local/share/VarraForgeset");
    }
    {
        // So does a relative one, which would follow whatever the current folder is.
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(platform::appDataFolder(), dir / ".local/share/VarraForgeset");
    }
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    EXPECT_EQ(platform::appDataFolder(), ".");
}

TEST(HomeFolderTest, IsHomeElseTheRoot) {
    TempDir dir;
    {
        ScopedEnv home("HOME", dir.path().c_str());
        EXPECT_EQ(platform::homeFolder(), dir.path());
    }
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/owner"}) {
        ScopedEnv home("HOME", unusable);
        EXPECT_EQ(platform::homeFolder(), "/") << (unusable ? unusable : "unset");
    }
}

TEST(FullPathTest, StartsAtTheRoot) {
    const std::pair<std::string, bool> cases[] = {
        {"/", true},        {"/srv/varra", true}, {"//srv", true},
        {"srv", false},     {"./srv", false},     {"", false},
        {"C:\\srv", false}, {"~/srv", false},     {std::string("/a\0b", 4), false},
    };
    for (const auto& [path, full] : cases)
        EXPECT_EQ(platform::isFullPath(path), full) << path;
}

#endif

TEST(ExecutableFolderTest, IsTheFolderOfThisTestProgram) {
    std::string folder = platform::executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::path(folder).is_absolute()) << folder;
    // argv[0] names this program; its file must sit in that folder.
    fs::path self = thisProgram();
    EXPECT_TRUE(fs::equivalent(fs::path(folder) / self.filename(), self)) << folder;
}

TEST(PathSeparatorTest, IsTheSystemsOwn) {
    EXPECT_EQ(platform::pathSeparator, static_cast<char>(fs::path::preferred_separator));
}
