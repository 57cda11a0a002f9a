#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using Notices = std::vector<std::pair<bool, std::string>>;

// Lines of a file that a detached program writes; waits until `count` lines are there or
// a few seconds have passed.
std::vector<std::string> waitForLines(const std::string& path, std::size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 500; ++i) {
        lines.clear();
        if (exists(path)) {
            std::string text = readText(path);
            for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                lines.push_back(text.substr(start, end - start));
            }
        }
        if (lines.size() >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
}

// Puts the fake opener first on PATH for the test's lifetime.
class RunnerCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (std::string(FORGESET_FAKES_DIR) + ":" + oldPath_).c_str(), 1);
        setenv("FAKE_XDG_OPEN_LOG", openLog().c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        unsetenv("FAKE_XDG_OPEN_LOG");
    }

    std::string openLog() const { return t.home / "opened.log"; }

    void open(const std::string& what) {
        t.send(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    }

    // Sends the messages, then "docs" as a marker, and returns what was opened besides the
    // guide once `expected` other lines (and no stragglers) have arrived. Each call starts
    // its own opener, so lines arrive in any order.
    std::vector<std::string> openedBy(const std::vector<std::string>& messages,
                                      std::size_t expected) {
        for (const std::string& m : messages)
            t.send(m);
        open("docs");
        waitForLines(openLog(), expected + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::vector<std::string> lines = waitForLines(openLog(), expected + 1);
        auto guide = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.ends_with("/docs/server-owner-guide.md");
        });
        EXPECT_NE(guide, lines.end());
        if (guide != lines.end()) lines.erase(guide);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    // A runner that records the folder it was started in.
    void makeRunner(fs::perms perms) {
        const std::string runner = t.root() + "/VarraForgesetServer.exe";
        writeText(runner, "#!/bin/sh\npwd -P > '" + ranIn() + ".part' && mv '" + ranIn() +
                              ".part' '" + ranIn() + "'\n");
        fs::permissions(runner, perms);
    }
    std::string ranIn() const { return t.home / "runner-cwd.txt"; }

    TestApp t;

  private:
    std::string oldPath_;
};

TEST_F(RunnerCommandsTest, EachTargetOpensItsFolderAndSendsNothing) {
    t.app.serverRoot.set(t.root());
    const std::string r = t.root();
    std::vector<std::string> sent;
    for (std::string what : {"root", "resources", "skins", "mods", "Resources", "server-mods"})
        sent.push_back(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    sent.push_back(R"({"cmd":"open"})");
    std::vector<std::string> expected = {
        r, r + "/resources", r + "/resources/skins", r + "/client-mods", r, r, r};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(openedBy(sent, expected.size()), expected);
    EXPECT_TRUE(t.takeRaw().empty());
}

TEST_F(RunnerCommandsTest, GuideOpensFromBesideTheProgram) {
    open("docs");
    auto lines = waitForLines(openLog(), 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(lines[0])) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("/docs/server-owner-guide.md"));
    EXPECT_TRUE(t.takeRaw().empty());
}

TEST_F(RunnerCommandsTest, WithoutAServerRootOnlyTheGuideOpens) {
    std::vector<std::string> sent;
    for (std::string what : {"root", "resources", "skins", "mods"})
        sent.push_back(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    EXPECT_TRUE(openedBy(sent, 0).empty());
    EXPECT_TRUE(t.takeRaw().empty());
}

TEST_F(RunnerCommandsTest, RunnerUnderARelativeServerRootStarts) {
    // --root and a hand-edited server-root.txt may name the folder relative to the current one.
    const fs::path previous = fs::current_path();
    fs::current_path(t.home.path());
    t.app.serverRoot.set("server");
    makeRunner(fs::perms::owner_all);
    t.send(R"({"cmd":"startRunner"})");
    fs::current_path(previous);
    EXPECT_EQ(notices(t.take()), (Notices{{false, "Server runner started in its own window."}}));
    auto ran = waitForLines(ranIn(), 1);
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0], fs::canonical(t.root()).string());
}

TEST_F(RunnerCommandsTest, RunnerThatCannotBeExecutedIsReported) {
    t.app.serverRoot.set(t.root());
    makeRunner(fs::perms::owner_read | fs::perms::owner_write);
    t.send(R"({"cmd":"startRunner"})");
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not start VarraForgesetServer.exe."}}));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(exists(ranIn()));
}

}  // namespace
