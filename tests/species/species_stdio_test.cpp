// The species commands of the built tool driven through --stdio, as a script would: the asset
// helper (the real one where it is built) and the species kit beside it, dialogs answered
// from a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/environment.h"
#include "support/programs.h"
#include "support/test_app.h"

namespace species {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

class SpeciesStdioTest : public ::testing::Test {
  protected:
    // The next message on the tool's output; fails the test when output ends.
    json next(ChildProcess& tool) {
        std::optional<std::string> line = tool.readLine();
        if (!line) {
            ADD_FAILURE() << "the tool's output ended: " << tool.err;
            return json::object();
        }
        try {
            return json::parse(*line);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not JSON: " << line->substr(0, 300);
            return json::object();
        }
    }

    // Messages up to and including the first one `stop` accepts.
    template <typename Stop>
    std::vector<json> until(ChildProcess& tool, Stop stop) {
        std::vector<json> seen;
        while (!::testing::Test::HasFailure()) {
            seen.push_back(next(tool));
            if (stop(seen.back())) break;
        }
        return seen;
    }

    // A folder with one real FBX model, a texture and a file that is neither, and the dialog
    // answers that choose it.
    std::string modelFolder() {
        const std::string chosen = home / "Dino Model";
        fs::create_directories(chosen + "/Textures");
        fs::copy_file("/usr/share/assimp/models/FBX/boxWithUncompressedCTypeArray.FBX",
                      chosen + "/Dino.FBX");
        fs::copy_file("/usr/share/assimp/models/glTF/CesiumMilkTruck/CesiumMilkTruck.png",
                      chosen + "/Textures/Dino_Body_D.png");
        writeText(chosen + "/readme.txt", "not a texture");
        writeText(home / "answers.txt", chosen + "\n");
        return chosen;
    }

    // The tool over `root`, with modelFolder()'s dialog answers.
    ChildProcess::Options toolOptions(const std::string& root) {
        return {toolWithHelper(home / "program"),
                {"--stdio", "--root", root, "--dialogs", home / "answers.txt"},
                {{kDataHomeVariable, home / "data"}}};
    }

    // Asks the tool to create the species "dino" and import the chosen folder into it.
    static void askToImport(ChildProcess& tool) {
        tool.write(R"({"cmd":"saveSpecies","name":"dino","data":"e30K"})"
                   "\n"
                   R"({"cmd":"importSpecies","name":"dino"})"
                   "\n");
    }

    TempDir home;
};

TEST_F(SpeciesStdioTest, ARealFbxFolderIsImportedInspectedAndListed) {
    const std::string root = home / "server";
    fs::create_directories(root);
    const std::string chosen = modelFolder();

    ChildProcess tool(toolOptions(root));
    askToImport(tool);
    auto seen = until(tool, [](const json& m) {
        return m["type"] == "notice" && (m["text"] == "Import finished." || m["error"] == true);
    });
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(seen.back()["text"], "Import finished.");
    EXPECT_EQ(seen.back()["error"], false);
    auto last = until(tool, [](const json& m) { return m["type"] == "species"; });
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(last.back()["busy"], false);

    tool.write(R"({"cmd":"speciesRefresh"})"
               "\n");
    json species = next(tool);
    tool.closeInput();
    EXPECT_EQ(tool.wait(), 0);
    ASSERT_EQ(species["type"], "species");
    EXPECT_EQ(species["kit"], true);
    EXPECT_EQ(species["helper"], true);
    EXPECT_EQ(species["hosts"].size(), 22u);
    ASSERT_EQ(species["items"].size(), 1u);
    EXPECT_EQ(species["items"][0]["json"], "{}\n");
    const json inspect = json::parse(species["items"][0]["inspect"].get<std::string>());
    EXPECT_EQ(inspect["mesh"]["file"], "Dino.FBX");
    EXPECT_EQ(readText(root + "/species/dino/source/Dino.FBX"), readText(chosen + "/Dino.FBX"));
    EXPECT_EQ(inspect["textures"][0]["file"], "Textures/Dino_Body_D.png");
    EXPECT_FALSE(exists(root + "/species/dino/source/readme.txt"));
}

// A script that sends its commands and ends its input at once still gets the import's answers
// to the end: the tool waits for the worker before it exits.
TEST_F(SpeciesStdioTest, EndOfInputWaitsForTheImportToFinish) {
    const std::string root = home / "server";
    fs::create_directories(root);
    modelFolder();
    ChildProcess tool(toolOptions(root));
    askToImport(tool);
    tool.closeInput();
    std::vector<json> seen;
    while (std::optional<std::string> line = tool.readLine())
        seen.push_back(json::parse(*line));
    EXPECT_EQ(tool.wait(), 0);
    auto finished = std::find_if(seen.begin(), seen.end(), [](const json& m) {
        return m["type"] == "notice" && m["text"] == "Import finished.";
    });
    ASSERT_NE(finished, seen.end()) << "the import's answers were cut off";
    auto last = std::find_if(seen.rbegin(), seen.rend(),
                             [](const json& m) { return m["type"] == "species"; });
    ASSERT_NE(last, seen.rend());
    EXPECT_EQ((*last)["busy"], false);
}

}  // namespace

}  // namespace species
