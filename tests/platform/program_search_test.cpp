#include "platform/program_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Candidates = std::vector<std::string>;

TEST(ProgramCandidates, FollowsPathThenPathext) {
    struct Case {
        std::string name, path, extensions;
        Candidates expected;
    };
    const Case cases[] = {
        {"tar",
         "C:\\Windows\\System32;C:\\bin\\",
         ".COM;.EXE",
         {"C:\\Windows\\System32\\tar.COM", "C:\\Windows\\System32\\tar.EXE", "C:\\bin\\tar.COM",
          "C:\\bin\\tar.EXE"}},
        // A name that already carries a program extension is looked for as it is.
        {"powershell.exe", "C:\\a", ".COM;.EXE", {"C:\\a\\powershell.exe"}},
        {"Tool.Exe", "C:\\a", ".exe", {"C:\\a\\Tool.Exe"}},
        // Any other dot is part of the name.
        {"python3.11", "C:\\a", ".EXE", {"C:\\a\\python3.11.EXE"}},
        // Quoted folders, empty entries, and no current folder.
        {"x",
         "\"C:\\Program Files\\x\";;C:\\b",
         ".EXE",
         {"C:\\Program Files\\x\\x.EXE", "C:\\b\\x.EXE"}},
        {"x", "", ".EXE", {}},
        // Without PATHEXT, or with nothing usable in it, the programs Windows runs itself.
        {"x", "C:\\a", "", {"C:\\a\\x.COM", "C:\\a\\x.EXE"}},
        {"x", "C:\\a", ";;BAT;", {"C:\\a\\x.COM", "C:\\a\\x.EXE"}},
        // Command scripts are never found: cmd.exe would read their arguments again.
        {"x", "C:\\a", ".BAT;.EXE;.CMD", {"C:\\a\\x.EXE"}},
        {"build.cmd", "C:\\a", ".BAT;.CMD;.EXE", {}},
        {"C:\\kit\\build.Bat", "", ".EXE", {}},
        // A name with a folder part is not searched for.
        {"C:\\tools\\tar.exe", "C:\\a", ".EXE", {"C:\\tools\\tar.exe"}},
        {"tools/tar", "C:\\a", ".COM;.EXE", {"tools/tar.COM", "tools/tar.EXE"}},
        {"D:tar.exe", "C:\\a", ".EXE", {"D:tar.exe"}},
        {"", "C:\\a", ".EXE", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::programCandidates(c.name, c.path, c.extensions), c.expected)
            << c.name << " | " << c.path << " | " << c.extensions;
    }
}

TEST(IsCommandScript, KnowsBatAndCmdInAnyCase) {
    EXPECT_TRUE(platform::isCommandScript("C:\\kit\\build.bat"));
    EXPECT_TRUE(platform::isCommandScript("x.CMD"));
    EXPECT_TRUE(platform::isCommandScript("run.Bat"));
    EXPECT_FALSE(platform::isCommandScript("C:\\kit\\build.exe"));
    EXPECT_FALSE(platform::isCommandScript("C:\\cmd.dir\\tool"));
    EXPECT_FALSE(platform::isCommandScript("batch"));
    EXPECT_FALSE(platform::isCommandScript("x.bat.exe"));
}

}  // namespace
