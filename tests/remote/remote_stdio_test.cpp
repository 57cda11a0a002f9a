// The remote build in the built tool driven through --stdio, across a restart: the first run
// uploads and is closed while the job runs; the second resumes the stored job, and, its
// input ended, waits for the tracker to install the result before it exits.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/child_process.h"
#include "support/fake_build_service.h"
#include "support/programs.h"
#include "support/test_app.h"

namespace remote {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

class RemoteStdioTest : public ::testing::Test {
  protected:
    RemoteStdioTest() {
        fs::create_directories(program() + "/tools");
        fs::copy_file(FORGESET_TOOL_PATH, program() + "/forgeset-server-tool" + kProgramSuffix);
        placeProgram(FORGESET_FAKE_ASSETS_PATH, program() + "/tools/forgeset-assets");
        writeText(root() + "/species/dino/species.json", R"({"name":"dino"})");
        writeText(root() + "/species/dino/source/Dino.fbx", "mesh");
        writeText(home / "data/VarraForgeset/build-auth.json",
                  R"({"token":"test-token","steamId":"1","name":"Test"})");
    }

    std::string program() const { return home / "program"; }
    std::string root() const { return home / "server"; }

    std::unique_ptr<ChildProcess> start() {
        return std::make_unique<ChildProcess>(
            ChildProcess::Options{program() + "/forgeset-server-tool" + kProgramSuffix,
                                  {"--stdio", "--root", root()},
                                  {{kDataHomeVariable, home / "data"}, {"no_proxy", "*"}}});
    }

    // Messages up to and including the first one `stop` accepts; each line must be JSON.
    template <typename Stop>
    std::vector<json> until(ChildProcess& tool, Stop stop) {
        std::vector<json> seen;
        while (!HasFailure()) {
            std::optional<std::string> line = tool.readLine();
            if (!line) {
                ADD_FAILURE() << "the tool's output ended: " << tool.err;
                break;
            }
            seen.push_back(json::parse(*line));
            if (stop(seen.back())) break;
        }
        return seen;
    }

    TempDir home;
    FakeBuildService service{{{"job", {{"stages", {{{"state", "running"}}}}}}}};
};

TEST_F(RemoteStdioTest, AJobStoredInOneRunIsInstalledByTheNext) {
    {
        std::unique_ptr<ChildProcess> tool = start();
        tool->write(R"({"cmd":"buildRemote","name":"dino","files":"Dino.fbx"})"
                    "\n");
        until(*tool, [](const json& m) {
            return m["type"] == "speciesRemote" && m["state"] == "running";
        });
        // Closing does not wait for the tracker; the job stays stored.
        tool->write(R"({"cmd":"winClose"})"
                    "\n");
        EXPECT_EQ(tool->wait(), 0);
    }
    ASSERT_EQ(readText(root() + "/species/dino/build/remote-job.txt"), "job-1");

    service.script(
        {{"jobs", {{{"id", "job-1"}, {"species", "dino"}, {"stages", {{{"state", "done"}}}}}}}});
    std::unique_ptr<ChildProcess> tool = start();
    tool->write(R"({"cmd":"buildResume","name":"dino"})"
                "\n");
    tool->closeInput();
    std::vector<json> seen;
    while (std::optional<std::string> line = tool->readLine())
        seen.push_back(json::parse(*line));
    EXPECT_EQ(tool->wait(), 0);
    std::vector<std::string> remote;
    for (const json& m : seen) {
        if (m["type"] == "speciesRemote") remote.push_back(m["detail"]);
    }
    EXPECT_EQ(remote, (std::vector<std::string>{"done", "Pak downloaded"}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back()["type"], "species");
    EXPECT_EQ(readText(root() + "/client-mods/species_dino.pak"), "pak of dino");
    EXPECT_EQ(readText(root() + "/server-mods/species_dino.ucas"), "ucas of dino");
    EXPECT_FALSE(exists(root() + "/species/dino/build/remote-job.txt"));
}

}  // namespace

}  // namespace remote
