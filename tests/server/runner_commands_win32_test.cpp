// Starting the runner on Windows: VarraForgesetServer.exe is a program of the system and
// starts directly, in a console of its own, inside the server folder. The stand-in runner
// proves where it ran by leaving ran-here.txt in its current folder.
#include "runner_commands_fixture.h"

namespace server {

namespace {

namespace fs = std::filesystem;

TEST_F(RunnerCommandsTest, RunnerUnderARelativeServerRootStarts) {
    // --root and a hand-edited server-root.txt may name the folder relative to the current one.
    fs::copy_file(FORGESET_FAKE_WINDOWS_RUNNER_PATH, t.root() + "/VarraForgesetServer.exe");
    const fs::path previous = fs::current_path();
    fs::current_path(t.home.path());
    t.app.serverRoot.set("server");
    t.send(R"({"cmd":"startRunner"})");
    fs::current_path(previous);
    EXPECT_EQ(notices(t.take()), (Notices{{false, "Server runner started in its own window."}}));
    EXPECT_EQ(waitForLines(t.root() + "/ran-here.txt", 1),
              std::vector<std::string>{"arguments: 0"});
}

TEST_F(RunnerCommandsTest, RunnerThatCannotBeExecutedIsReported) {
    t.app.serverRoot.set(t.root());
    writeText(t.root() + "/VarraForgesetServer.exe", "not a program");
    t.send(R"({"cmd":"startRunner"})");
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not start VarraForgesetServer.exe."}}));
}

}  // namespace

}  // namespace server
