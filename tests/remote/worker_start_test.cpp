// A worker thread that cannot be started (the system is out of threads): each command that
// claimed something for its worker must let it go, or every later command of its kind would
// be refused or ignored until the tool restarts.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "remote_fixture.h"

namespace remote {

namespace {

class WorkerStartTest : public RemoteTest {
  protected:
    WorkerStartTest() {
        signIn();
        makeSpecies("dino", {{"Dino.fbx", "model"}});
        placeFolder(std::string(FORGESET_SOURCE_DIR) + "/species-kit",
                    t.app.programFolder + "/species-kit");
        writeText(t.home / "models/Dino.fbx", "model");
        writeText(jobFile("dino"), "j1");
        service.script(
            {{"jobs", {{{"id", "j1"}, {"species", "dino"}, {"stages", {{{"state", "failed"}}}}}}}});
    }
};

TEST_F(WorkerStartTest, ACommandWhoseWorkerCannotStartLetsGoOfWhatItClaimed) {
    const std::string importFolder = t.home / "models";
    struct Case {
        const char* command;
        std::string message;
    } cases[] = {
        {"buildLogin", cmd("buildLogin")},
        {"importSpecies", cmd("importSpecies", "name", "dino")},
        {"buildSpecies", cmd("buildSpecies", "name", "dino")},
        {"buildRemote",
         nlohmann::ordered_json{
             {"cmd", "buildRemote"}, {"name", "dino"}, {"files", "source/Dino.fbx"}}
             .dump()},
        {"buildResume", cmd("buildResume", "name", "dino")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        t.dialogs = platform::ScriptedDialogs({importFolder});
        t.app.workers.launch = [](std::function<void()>) { throw std::runtime_error("no thread"); };
        t.send(c.message);
        std::vector<json> seen = t.take();
        EXPECT_EQ(notices(seen).back(),
                  (Notice{true, std::string("Unexpected error in ") + c.command + ": no thread"}));
        EXPECT_FALSE(t.app.signInActive);
        EXPECT_FALSE(t.app.speciesBusy);
        EXPECT_TRUE(t.app.followedSpecies.tryClaim(ws("dino"))) << "dino is still followed";
        t.app.followedSpecies.release(ws("dino"));
        // The page was told the job runs; it must be told that it does not.
        if (std::string(c.command) != "buildResume") {
            auto last = std::find_if(seen.rbegin(), seen.rend(),
                                     [](const json& m) { return m["type"] == "species"; });
            ASSERT_NE(last, seen.rend());
            EXPECT_EQ((*last)["busy"], false);
            EXPECT_EQ((*last)["build"]["signingIn"], false);
        }
        EXPECT_TRUE(t.app.workers.idle());
    }
}

}  // namespace

}  // namespace remote
