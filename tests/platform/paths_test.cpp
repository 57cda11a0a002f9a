#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

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
