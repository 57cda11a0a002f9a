// Starting the runner where it is a program of this system; the Windows form is in
// runner_commands_win32_test.cpp.
#include "runner_commands_fixture.h"

namespace server {

namespace {

namespace fs = std::filesystem;

// A runner that records the folder it was started in, in `ranIn`.
void makeRunner(const std::string& root, const std::string& ranIn, fs::perms perms) {
    const std::string runner = root + "/VarraForgesetServer.exe";
    writeText(runner, "#!/bin/sh\npwd -P > '" + ranIn + ".part' && mv '" + ranIn + ".part' '" +
                          ranIn + "'\n");
    fs::permissions(runner, perms);
}

TEST_F(RunnerCommandsTest, RunnerUnderARelativeServerRootStarts) {
    // --root and a hand-edited server-root.txt may name the folder relative to the current one.
    const std::string ranIn = t.home / "runner-cwd.txt";
    const fs::path previous = fs::current_path();
    fs::current_path(t.home.path());
    t.app.serverRoot.set("server");
    makeRunner(t.root(), ranIn, fs::perms::owner_all);
    t.send(R"({"cmd":"startRunner"})");
    fs::current_path(previous);
    EXPECT_EQ(notices(t.take()), (Notices{{false, "Server runner started in its own window."}}));
    auto ran = waitForLines(ranIn, 1);
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0], fs::canonical(t.root()).string());
}

TEST_F(RunnerCommandsTest, RunnerThatCannotBeExecutedIsReported) {
    const std::string ranIn = t.home / "runner-cwd.txt";
    t.app.serverRoot.set(t.root());
    makeRunner(t.root(), ranIn, fs::perms::owner_read | fs::perms::owner_write);
    t.send(R"({"cmd":"startRunner"})");
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not start VarraForgesetServer.exe."}}));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(exists(ranIn));
}

}  // namespace

}  // namespace server
