// The server runner started through startRunner on Windows: the stand-in for
// VarraForgesetServer.exe starts in its own console inside the server folder, and what the
// owner is told when there is none. Wine and a terminal in front of it are Linux's
// (runner_start_posix_test.cpp).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Notices = std::vector<std::pair<bool, std::string>>;

bool waitForFile(const std::string& path) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return fs::exists(path);
}

TEST(RunnerStartTest, TheRunnerStartsInTheServerFolderAndAMissingOneIsReported) {
    enum class Runner { none, folder, windows };
    struct Case {
        const char* what;
        Runner runner;
        Notices notices;
    };
    const std::vector<Case> cases = {
        {"the runner", Runner::windows, {{false, "Server runner started in its own window."}}},
        {"runner missing",
         Runner::none,
         {{true, "VarraForgesetServer.exe not found in the server folder."}}},
        {"a folder of the runner's name",
         Runner::folder,
         {{true, "VarraForgesetServer.exe not found in the server folder."}}},
    };
    TestApp t;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A blank in the folder's name, which the command line must carry whole.
        const std::string root = t.home / ("server " + std::to_string(&c - cases.data()));
        const std::string runner = root + "/VarraForgesetServer.exe";
        fs::create_directories(root);
        t.app.serverRoot.set(root);
        if (c.runner == Runner::folder) fs::create_directories(runner);
        if (c.runner == Runner::windows) fs::copy_file(FORGESET_FAKE_WINDOWS_RUNNER_PATH, runner);
        t.send(R"({"cmd":"startRunner"})");
        const std::vector<nlohmann::json> messages = t.take();
        EXPECT_EQ(types(messages), std::vector<std::string>(c.notices.size(), "notice"));
        EXPECT_EQ(notices(messages), c.notices);
        const std::string proof = root + "/ran-here.txt";
        if (c.runner != Runner::windows) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_FALSE(fs::exists(proof));
            continue;
        }
        // Written relative to its current folder, so found here only when it ran here.
        ASSERT_TRUE(waitForFile(proof));
        EXPECT_EQ(readText(proof), "arguments: 0\n");
        EXPECT_FALSE(fs::exists(root + "/logs")) << "a console of its own, no log file";
    }
}

}  // namespace

}  // namespace server
