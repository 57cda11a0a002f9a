// The species kit's build script under a real PowerShell 7, started by the real buildSpecies
// on real workspaces, with a stand-in for the game's cooking tools.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

const Notice kSucceeded = {
    false,
    "Build finished. The species is in client-mods and server-mods. Restart the server "
    "to load it."};
const Notice kFailed = {true, "Build failed. The log shows why."};

const std::vector<std::string> kFolders = {"client-mods", "server-mods"};
const std::vector<std::string> kPackages = {"species_dino.pak", "species_dino.utoc",
                                            "species_dino.ucas"};

// A "*" in an expected line stands for any text, for the words that come from PowerShell
// itself; the rest must be there as written.
bool lineMatches(const std::string& expected, const std::string& line) {
    std::size_t star = expected.find('*');
    if (star == std::string::npos) return expected == line;
    if (!line.starts_with(expected.substr(0, star))) return false;
    std::size_t at = star;
    while (true) {
        const std::size_t next = expected.find('*', star + 1);
        const std::string piece = expected.substr(star + 1, next - star - 1);
        if (next == std::string::npos)
            return line.size() >= at + piece.size() && line.ends_with(piece);
        at = line.find(piece, at);
        if (at == std::string::npos) return false;
        at += piece.size();
        star = next;
    }
}

std::string replaced(std::string text, const std::string& mark, const std::string& by) {
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
        text.replace(at, mark.size(), by);
    return text;
}

class KitScriptTest : public SpeciesTest {
  protected:
    KitScriptTest()
        : pwshFirst_("PATH", std::string(FORGESET_POWERSHELL_DIR) + ":" + std::getenv("PATH")),
          cook_("VARRAFORGESET_COOK", cook()),
          // A test run sends nothing anywhere.
          telemetry_("POWERSHELL_TELEMETRY_OPTOUT", "1"),
          updates_("POWERSHELL_UPDATECHECK", "Off") {}

    void SetUp() override {
        ASSERT_TRUE(fs::is_regular_file(std::string(FORGESET_POWERSHELL_DIR) + "/pwsh"))
            << "PowerShell 7 is not in " FORGESET_POWERSHELL_DIR ": scripts/setup.sh installs it";
    }

    static std::string cook() { return std::string(FORGESET_FAKES_DIR) + "/cook"; }

    // The lines of the species' speciesLog messages.
    static std::vector<std::string> logLines(const std::vector<nlohmann::json>& messages) {
        std::vector<std::string> lines;
        for (const nlohmann::json& m : messages) {
            if (m["type"] == "speciesLog" && m["name"] == "dino") lines.push_back(m["line"]);
        }
        return lines;
    }

  private:
    ScopedEnv pwshFirst_;
    ScopedEnv cook_;
    ScopedEnv telemetry_;
    ScopedEnv updates_;
};

TEST_F(KitScriptTest, BuildsACompleteWorkspaceAndSaysWhyAnyOtherFails) {
    struct Case {
        const char* what;
        std::string serverFolder;
        std::string definition;
        std::vector<std::string> sourceFiles;
        std::vector<std::pair<const char*, const char*>> env;
        // Packages an earlier build left in both folders.
        bool earlierPackages;
        // @W is the workspace, @R the server folder, @C the cook.
        std::vector<std::string> lines;
        bool succeeded;
    };
    const std::string complete =
        R"({"name":"dino","source":{"mesh":"dino.fbx","animations":[{"id":"walk",)"
        R"("file":"anims/walk.fbx"}],"sounds":[{"id":"roar","file":"Sounds/roar.wav"}],)"
        R"("textures":[{"slot":"body","diffuse":"tex/body_d.png","normal":"tex/body_n.png"}]}})";
    const std::vector<std::string> completeFiles = {"dino.fbx", "anims/walk.fbx", "Sounds/roar.wav",
                                                    "tex/body_d.png", "tex/body_n.png"};
    const std::vector<std::string> checked = {
        "Species: dino",          "Workspace: @W",           "found   dino.fbx",
        "found   anims/walk.fbx", "found   Sounds/roar.wav", "found   tex/body_d.png",
        "found   tex/body_n.png", "Packing with @C",         "cooking dino"};
    auto then = [](std::vector<std::string> lines, const std::vector<std::string>& more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };
    const std::vector<std::string> cookedClient = {"wrote client-mods/species_dino.pak",
                                                   "wrote client-mods/species_dino.utoc",
                                                   "wrote client-mods/species_dino.ucas"};
    const std::vector<std::string> cookedBoth = then(
        cookedClient, {"wrote server-mods/species_dino.pak", "wrote server-mods/species_dino.utoc",
                       "wrote server-mods/species_dino.ucas", "cook: BUILD_OK"});
    const std::string builtLine = "BUILD OK: species_dino is in client-mods and server-mods.";

    const std::vector<Case> cases = {
        {"complete",
         "server",
         complete,
         completeFiles,
         {},
         false,
         then(then(checked, cookedBoth), {builtLine}),
         true},
        {"model missing",
         "server",
         R"({"source":{"mesh":"","animations":[{"id":"walk","file":"anims/walk.fbx"}]}})",
         {"anims/walk.fbx"},
         {},
         false,
         {"Species: dino", "Workspace: @W",
          "MISSING model: the definition names no mesh. Import a model first.",
          "found   anims/walk.fbx", "1 file(s) missing from source. Nothing was built."},
         false},
        // The parser's message quotes the key, marker and all.
        {"broken species.json",
         "server",
         R"({"BUILD OK": )",
         {},
         {},
         false,
         {"Species: dino", "Workspace: @W",
          "species.json is not valid JSON (*BUILD_OK*). Nothing was built."},
         false},
        {"empty species.json",
         "server",
         "",
         {},
         {},
         false,
         {"Species: dino", "Workspace: @W",
          "species.json is not valid JSON (the file is empty). Nothing was built."},
         false},
        {"file names holding the marker",
         "server",
         R"({"source":{"mesh":"BUILD OK.fbx","textures":[{"slot":"a","diffuse":"BUILD OK.png"}]}})",
         {"BUILD OK.png"},
         {},
         false,
         {"Species: dino", "Workspace: @W", "MISSING BUILD_OK.fbx", "found   BUILD_OK.png",
          "1 file(s) missing from source. Nothing was built."},
         false},
        // The tool reads UTF-8 whatever the locale says.
        {"non-ASCII names under a Latin-1 locale",
         "Serveur d'été",
         R"({"source":{"mesh":"modèle ü.fbx","sounds":[{"id":"r","file":"Sounds/rugissement é.wav"}]}})",
         {"modèle ü.fbx", "Sounds/rugissement é.wav"},
         {{"LC_ALL", "en_US.ISO-8859-1"}},
         false,
         then(then({"Species: dino", "Workspace: @W", "found   modèle ü.fbx",
                    "found   Sounds/rugissement é.wav", "Packing with @C", "cooking dino"},
                   cookedBoth),
              {builtLine}),
         true},
        {"a cook that fails leaves the earlier packages, which are not a build",
         "server",
         complete,
         completeFiles,
         {{"FAKE_COOK_EXIT", "3"}},
         true,
         then(checked, {"cook: out of memory",
                        "The packing command failed (exit code 3). Nothing was installed."}),
         false},
        {"a cook that writes one folder only",
         "server",
         complete,
         completeFiles,
         {{"FAKE_COOK_ONLY", "client-mods"}},
         false,
         then(then(checked, cookedClient),
              {"cook: BUILD_OK", "NOT PRODUCED @R/server-mods/species_dino.pak",
               "NOT PRODUCED @R/server-mods/species_dino.utoc",
               "NOT PRODUCED @R/server-mods/species_dino.ucas",
               "The packing command did not produce every package. Nothing was installed."}),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root =
            t.home / ("case " + std::to_string(&c - cases.data()) + " " + c.serverFolder);
        const std::string workspace = root + "/species/dino";
        t.app.serverRoot.set(root);
        fs::create_directories(workspace + "/source");
        writeText(workspace + "/species.json", c.definition);
        for (const std::string& file : c.sourceFiles) {
            fs::create_directories(fs::path(workspace + "/source/" + file).parent_path());
            writeText(workspace + "/source/" + file, "data");
        }
        for (const std::string& folder : kFolders) {
            fs::create_directories(root + "/" + folder);
            for (const std::string& package : kPackages) {
                if (c.earlierPackages) writeText(root + "/" + folder + "/" + package, "earlier\n");
            }
        }
        std::vector<std::unique_ptr<ScopedEnv>> env;
        for (const auto& [name, value] : c.env)
            env.push_back(std::make_unique<ScopedEnv>(name, value));

        t.send(cmd("buildSpecies", "name", "dino"));
        std::vector<nlohmann::json> messages = untilWorkerEnds(90);
        ASSERT_GE(messages.size(), 3u);
        EXPECT_EQ(messages.front()["busy"], true);

        std::vector<std::string> expected;
        for (const std::string& line : c.lines)
            expected.push_back(
                replaced(replaced(replaced(line, "@W", workspace), "@R", root), "@C", cook()));
        const std::vector<std::string> lines = logLines(messages);
        EXPECT_EQ(lines.size(), expected.size()) << ::testing::PrintToString(lines);
        for (std::size_t i = 0; i < std::min(lines.size(), expected.size()); ++i)
            EXPECT_PRED2(lineMatches, expected[i], lines[i]);
        EXPECT_EQ(notices(messages), Notices{c.succeeded ? kSucceeded : kFailed});

        // The lasting log holds the same lines, as UTF-8 without a byte order mark.
        std::string log;
        for (const std::string& line : lines)
            log += line + "\n";
        EXPECT_EQ(readText(workspace + "/build/build.log"), log);
        EXPECT_EQ(item(messages.back(), "dino")["log"], log);
        EXPECT_EQ(item(messages.back(), "dino")["pak"],
                  fs::is_regular_file(root + "/client-mods/species_dino.pak"));

        for (const std::string& folder : kFolders) {
            for (const std::string& package : kPackages) {
                const std::string path = root + "/" + folder + "/" + package;
                if (c.earlierPackages) {
                    EXPECT_EQ(readText(path), "earlier\n") << path;
                } else if (c.succeeded) {
                    EXPECT_EQ(readText(path), "cooked dino\n") << path;
                } else if (folder == "server-mods" || c.definition != complete) {
                    EXPECT_FALSE(fs::exists(path)) << path;
                }
            }
        }
    }
}

TEST_F(KitScriptTest, AKitWithoutTheScriptFailsWithPowerShellsOwnWords) {
    fs::remove(program() + "/species-kit");
    fs::create_directories(program() + "/species-kit/hosts");
    fs::create_directories(ws("dino"));
    t.send(cmd("buildSpecies", "name", "dino"));
    std::vector<nlohmann::json> messages = untilWorkerEnds(90);
    // What PowerShell writes to its standard error reaches the log too.
    const std::vector<std::string> lines = logLines(messages);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(program() + "/species-kit/build-species.ps1"), std::string::npos)
        << lines[0];
    EXPECT_EQ(notices(messages), Notices{kFailed});
    EXPECT_FALSE(fs::exists(ws("dino") + "/build/build.log"));
}

}  // namespace

}  // namespace species
