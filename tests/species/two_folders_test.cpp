// An import or a local build that ends after the owner chose another server folder: what it
// posts at its end must be the chosen folder's workspaces, and its build lines, which name a
// workspace of the folder it was started in, must not reach the page.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

class TwoFoldersTest : public SpeciesTest {
  protected:
    TwoFoldersTest()
        : output_("FAKE_PWSH_OUTPUT", t.home / "pwsh-output"),
          pwshGate_("FAKE_PWSH_WAIT_FOR", gate()),
          assetsGate_("FAKE_ASSETS_WAIT_FOR", gate()) {
        writeText(ws("dino") + "/species.json", "first folder");
        writeText(other() + "/species/dino/species.json", "second folder");
        writeText(other() + "/species/bravo/species.json", "second folder");
        writeText(t.home / "pwsh-output", "building dino of the first folder\nBUILD OK\n");
        writeText(t.home / "models/Dino.fbx", "model");
    }

    std::string other() const { return t.home / "other"; }
    std::string gate() const { return t.home / "gate"; }

  private:
    ScopedEnv output_;
    ScopedEnv pwshGate_;
    ScopedEnv assetsGate_;
};

TEST_F(TwoFoldersTest, AJobThatOutlivesItsFolderSpeaksOnlyForTheFolderChosenNow) {
    struct Case {
        const char* command;
        std::vector<std::string> dialogs;  // the job's own, if any, then the server folder
    } cases[] = {
        {"importSpecies", {t.home / "models", other()}},
        {"buildSpecies", {other()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        t.app.serverRoot.set(t.root());
        fs::remove(gate());
        t.dialogs = platform::ScriptedDialogs(c.dialogs);
        t.send(cmd(c.command, "name", "dino"));
        std::vector<nlohmann::json> started = t.take();
        ASSERT_FALSE(started.empty());
        EXPECT_EQ(started.front()["busy"], true);

        // The job waits at its gate while the owner picks the other folder.
        t.send(cmd("pickFolder"));
        ASSERT_EQ(t.app.serverRoot.path(), other());
        writeText(gate(), "");
        std::vector<nlohmann::json> after = untilWorkerEnds();

        int speciesMessages = 0;
        for (const nlohmann::json& m : after) {
            EXPECT_NE(m["type"], "speciesLog") << m.dump();
            if (m["type"] != "species") continue;
            ++speciesMessages;
            std::set<std::string> names;
            for (const nlohmann::json& i : m["items"])
                names.insert(i["name"]);
            EXPECT_EQ(names, (std::set<std::string>{"bravo", "dino"}));
            EXPECT_EQ(item(m, "dino")["json"], "second folder");
        }
        EXPECT_GE(speciesMessages, 1);
        // The job itself worked on the folder it was started in.
        EXPECT_FALSE(exists(other() + "/species/dino/source"));
        EXPECT_FALSE(exists(other() + "/species/dino/build"));
    }
    EXPECT_EQ(readText(ws("dino") + "/source/Dino.fbx"), "model");
    EXPECT_TRUE(exists(ws("dino") + "/build/build.log"));
}

}  // namespace

}  // namespace species
