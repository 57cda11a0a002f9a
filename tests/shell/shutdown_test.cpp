// The end of the tool ends its helpers: an extraction in progress, and whatever the helper
// started, must not go on as orphans once the tool is gone.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;

// Gone, or a zombie that only waits for its new parent to collect it.
bool processEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    std::size_t close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

// The helper's pid and its child's, once the hanging export has written both.
std::pair<pid_t, pid_t> helperPids(const std::string& file) {
    for (int i = 0; i < 1000; ++i) {
        std::ifstream in(file);
        std::string word;
        pid_t parent = 0, child = 0;
        if (in >> word >> parent >> word >> child && child > 0) return {parent, child};
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {0, 0};
}

enum class Ending { winClose, sigterm, sighup };

class ShutdownTest : public ::testing::TestWithParam<Ending> {};

TEST_P(ShutdownTest, AnExtractionInProgressEndsWithTheTool) {
    TempDir home;
    fs::create_directories(home / "program/tools");
    fs::copy_file(FORGESET_TOOL_PATH, home / "program/forgeset-server-tool");
    fs::create_symlink(FORGESET_FAKE_ASSETS_PATH, home / "program/tools/forgeset-assets");
    writeText(home / "xdg/VarraForgeset/assets/species.json", R"(["Rex"])");
    ChildProcess tool({home / "program/forgeset-server-tool",
                       {"--stdio"},
                       {{"XDG_DATA_HOME", home / "xdg"},
                        {"HOME", home.path()},
                        {"FAKE_ASSETS_EXPORT", "hang"},
                        {"FAKE_ASSETS_PIDS", home / "pids"}}});
    tool.write(R"({"cmd":"studioExtract","species":"Rex"})"
               "\n");
    auto [helper, grandchild] = helperPids(home / "pids");
    ASSERT_GT(helper, 0) << tool.err;
    switch (GetParam()) {
        case Ending::winClose:
            tool.write(R"({"cmd":"winClose"})"
                       "\n");
            break;
        case Ending::sigterm:
            tool.signal(SIGTERM);
            break;
        case Ending::sighup:
            tool.signal(SIGHUP);
            break;
    }
    EXPECT_EQ(tool.waitExit(std::chrono::seconds(10)), 0) << tool.err;
    for (int i = 0; i < 250 && !(processEnded(helper) && processEnded(grandchild)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(processEnded(helper));
    EXPECT_TRUE(processEnded(grandchild));
}

INSTANTIATE_TEST_SUITE_P(Endings, ShutdownTest,
                         ::testing::Values(Ending::winClose, Ending::sigterm, Ending::sighup));

}  // namespace
