// startDetached on Windows, with this test program as the started program
// (test_child_win32.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/shell.h"
#include "platform/win32/wide.h"
#include "scratch_folder_win32.h"
#include "test_child_win32.h"

namespace fs = std::filesystem;

namespace {

using platform::win32::fromWide;
using platform::win32::toWide;

// A folder whose name goes beyond ASCII, as the shell is handed it.
class Folder : public ScratchFolder {
  public:
    Folder() : ScratchFolder("forgeset-shell ü ") {}
};

// What the detached program wrote, once it holds `lines` lines or the time ran out.
std::string waitForLines(const std::string& path, int lines) {
    std::string text;
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(fs::path(toWide(path)), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (std::count(text.begin(), text.end(), '\n') >= lines) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return text;
}

TEST(StartDetachedWin32, AppendsTheOutputToTheFileAndRunsInTheFolder) {
    Folder folder;
    const std::string log = folder / "logs runner.log";
    std::ofstream(fs::path(toWide(log)), std::ios::binary) << "earlier\n";
    ASSERT_TRUE(
        platform::startDetached(testChild({"where", "-", "first run"}), folder.path(), log));
    ASSERT_EQ(waitForLines(log, 2), "earlier\n" + folder.path() + "|first run\n");
    ASSERT_TRUE(platform::startDetached(testChild({"where", "-", "second"}), folder.path(), log));
    EXPECT_EQ(waitForLines(log, 3),
              "earlier\n" + folder.path() + "|first run\n" + folder.path() + "|second\n");
}

TEST(StartDetachedWin32, WithoutAnOutputFileTheProgramHasItsOwnConsole) {
    Folder folder;
    ASSERT_TRUE(platform::startDetached(testChild({"where", "marker.txt", "x y"}), folder.path()));
    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(fs::path(toWide(folder / "marker.txt")), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(text, folder.path() + "|x y");
}

TEST(StartDetachedWin32, SaysWhyItCouldNotStart) {
    Folder folder;
    std::ofstream(fs::path(toWide(folder / "run.bat"))) << "@echo hi\r\n";
    struct Case {
        std::vector<std::string> argv;
        std::string output;
        int code;
    };
    const Case cases[] = {
        {{folder / "missing.exe"}, "", ENOENT},
        {{folder / "run.bat"}, "", EINVAL},
        {{}, "", EINVAL},
        {testChild({"sleep", "0"}), folder / "no such folder\\runner.log", ENOENT},
    };
    for (const Case& c : cases) {
        platform::Result<> started = platform::startDetached(c.argv, folder.path(), c.output);
        ASSERT_FALSE(started) << (c.argv.empty() ? "" : c.argv[0]);
        EXPECT_EQ(started.error().code, c.code) << started.error().what;
    }
}

}  // namespace
