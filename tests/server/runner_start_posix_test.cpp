// The server runner started through startRunner: a Windows console program (built with
// mingw-w64) under the real Wine with a private prefix, a program of this system directly,
// and what the owner is told when neither can start.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Notices = std::vector<std::pair<bool, std::string>>;

const std::string kStarted = "Server runner started in its own window.";

std::string today() {
    const time_t now = ::time(nullptr);
    tm local{};
    char text[16] = "";
    ::localtime_r(&now, &local);
    ::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// Waits for a file a detached program leaves; the first start under Wine makes the prefix,
// which takes seconds.
bool waitForFile(const std::string& path) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return fs::exists(path);
}

// Whether `output` holds `lines` as whole lines, in this order, with anything between them.
// A Windows console program ends its lines with CR LF.
bool holdsInOrder(const std::string& output, const std::vector<std::string>& lines) {
    std::string text = "\n";
    for (char c : output) {
        if (c != '\r') text += c;
    }
    std::size_t at = 0;
    for (const std::string& line : lines) {
        at = text.find("\n" + line + "\n", at);
        if (at == std::string::npos) return false;
        at += line.size();
    }
    return true;
}

class RunnerStartTest : public ::testing::Test {
  protected:
    RunnerStartTest()
        : prefix_("WINEPREFIX", wine_ / "prefix"),
          quiet_("WINEDEBUG", "-all"),
          // No offer to fetch Wine's .NET and HTML engines, which the runner does not need:
          // the prefix is made in seconds, and without the network.
          overrides_("WINEDLLOVERRIDES", "mscoree,mshtml="),
          display_("DISPLAY", nullptr),
          wayland_("WAYLAND_DISPLAY", nullptr),
          path_("PATH", std::string(FORGESET_FAKES_DIR) + ":" + std::getenv("PATH")),
          terminalArgs_("FAKE_TERMINAL_LOG", t.home / "terminal-args"),
          terminalOutput_("FAKE_TERMINAL_OUTPUT", t.home / "terminal-output") {}

    // Wine's server outlives the program by a few seconds; it must not outlive the prefix.
    ~RunnerStartTest() override {
        const std::string wineserver = platform::findProgram("wineserver");
        if (!wineserver.empty()) platform::runCaptured({wineserver, "-k"}, 20000);
    }

    TempDir wine_;
    TestApp t;

  private:
    ScopedEnv prefix_;
    ScopedEnv quiet_;
    ScopedEnv overrides_;
    ScopedEnv display_;
    ScopedEnv wayland_;
    ScopedEnv path_;
    ScopedEnv terminalArgs_;
    ScopedEnv terminalOutput_;
};

TEST_F(RunnerStartTest, AWindowsRunnerRunsUnderWineAndANativeOneDirectly) {
    enum class Runner { none, folder, windows, native };
    struct Case {
        const char* what;
        Runner runner;
        bool desktop;
        bool wine;
        // @L stands for the log file.
        Notices notices;
        bool runs;
    };
    const std::vector<std::string> runnerLines = {"runner: starting the game server",
                                                  "runner: plugin loaded", "runner: ready"};
    // The first case makes Wine's prefix, with no display for it to show anything on.
    const std::vector<Case> cases = {
        {"Windows runner without a desktop",
         Runner::windows,
         false,
         true,
         {{false, "Server runner started under Wine without a window: its output goes to @L."}},
         true},
        {"Windows runner on a desktop", Runner::windows, true, true, {{false, kStarted}}, true},
        {"Wine missing",
         Runner::windows,
         false,
         false,
         {{true,
           "Wine is needed to run VarraForgesetServer.exe on Linux: install the Debian "
           "package wine."}},
         false},
        {"runner missing",
         Runner::none,
         true,
         true,
         {{true, "VarraForgesetServer.exe not found in the server folder."}},
         false},
        {"a folder of the runner's name",
         Runner::folder,
         false,
         true,
         {{true, "VarraForgesetServer.exe not found in the server folder."}},
         false},
        {"native runner script", Runner::native, false, true, {{false, kStarted}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = t.home / ("server " + std::to_string(&c - cases.data()));
        const std::string runner = root + "/VarraForgesetServer.exe";
        fs::create_directories(root);
        t.app.serverRoot.set(root);
        if (c.runner == Runner::folder) fs::create_directories(runner);
        if (c.runner == Runner::windows) fs::copy_file(FORGESET_FAKE_WINDOWS_RUNNER_PATH, runner);
        if (c.runner == Runner::native) {
            writeText(runner,
                      "#!/bin/sh\npwd -P > ran-here.part && mv ran-here.part ran-here.txt\n");
            fs::permissions(runner, fs::perms::owner_all);
        }
        std::unique_ptr<ScopedEnv> display;
        if (c.desktop) display = std::make_unique<ScopedEnv>("DISPLAY", ":97");
        std::unique_ptr<ScopedEnv> noWine;
        if (!c.wine) noWine = std::make_unique<ScopedEnv>("PATH", FORGESET_FAKES_DIR);
        fs::remove(t.home / "terminal-args");

        const std::string dayBefore = today();
        const auto started = std::chrono::steady_clock::now();
        t.send(R"({"cmd":"startRunner"})");
        const std::vector<nlohmann::json> messages = t.take();
        const std::string day = today() == dayBefore ? dayBefore : today();
        const std::string log = root + "/logs/runner-" + day + ".log";
        Notices expected = c.notices;
        for (auto& [error, text] : expected) {
            if (const std::size_t at = text.find("@L"); at != std::string::npos)
                text.replace(at, 2, log);
        }
        EXPECT_EQ(types(messages), std::vector<std::string>(expected.size(), "notice"));
        EXPECT_EQ(notices(messages), expected);

        const std::string proof = root + "/ran-here.txt";
        if (!c.runs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_FALSE(fs::exists(proof));
            EXPECT_FALSE(fs::exists(t.home / "terminal-args"));
            EXPECT_FALSE(fs::exists(root + "/logs"));
            continue;
        }
        // Written relative to its current folder, so found here only when it ran here.
        ASSERT_TRUE(waitForFile(proof));
        std::cerr << c.what << ": ran after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - started)
                         .count()
                  << " ms\n";
        if (c.runner == Runner::native) {
            EXPECT_EQ(readText(proof), fs::canonical(root).string() + "\n");
            EXPECT_FALSE(fs::exists(root + "/logs"));
        } else if (c.desktop) {
            EXPECT_EQ(readText(proof), "arguments: 0\n");
            EXPECT_EQ(readText(t.home / "terminal-args"),
                      "-e\n" + platform::findProgram("wine") + "\nVarraForgesetServer.exe\n");
            EXPECT_TRUE(holdsInOrder(readText(t.home / "terminal-output"), runnerLines))
                << readText(t.home / "terminal-output");
            EXPECT_FALSE(fs::exists(root + "/logs"));
        } else {
            EXPECT_EQ(readText(proof), "arguments: 0\n");
            EXPECT_TRUE(holdsInOrder(readText(log), runnerLines)) << readText(log);
        }
    }
}

}  // namespace

}  // namespace server
