#include <filesystem>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

const Notice kSucceeded = {
    false,
    "Build finished. The species is in client-mods and server-mods. Restart the server "
    "to load it."};
const Notice kFailed = {true, "Build failed. The log shows why."};

class LocalBuildTest : public SpeciesTest {
  protected:
    LocalBuildTest()
        : output_("FAKE_PWSH_OUTPUT", t.home / "pwsh-output"),
          args_("FAKE_PWSH_ARGS", t.home / "pwsh-args") {
        fs::create_directories(ws("dino"));
    }

    // Runs a build whose script prints `output`; returns every message up to its end.
    std::vector<nlohmann::json> build(const std::string& output) {
        writeText(t.home / "pwsh-output", output);
        t.send(cmd("buildSpecies", "name", "dino"));
        return untilWorkerEnds();
    }

    static std::vector<std::string> lines(const std::vector<nlohmann::json>& messages) {
        std::vector<std::string> found;
        for (const auto& m : messages) {
            if (m["type"] != "speciesLog") continue;
            EXPECT_EQ(m["name"], "dino");
            found.push_back(m["line"]);
        }
        return found;
    }

  private:
    ScopedEnv output_;
    ScopedEnv args_;
};

TEST_F(LocalBuildTest, LinesAreAssembledAndTheMarkerDecides) {
    struct Case {
        const char* what;
        std::string output;
        std::vector<std::string> lines;
        bool succeeded;
    };
    const std::string before(4092, 'x');
    const std::vector<Case> cases = {
        {"CR LF lines, marker alone", "Checking\r\nBUILD OK\r\n", {"Checking", "BUILD OK"}, true},
        {"marker inside a line", "step 3: BUILD OK (done)\n", {"step 3: BUILD OK (done)"}, true},
        {"marker across two blocks", before + "BUILD OK\n", {before + "BUILD OK"}, true},
        {"blank lines", "a\n\n\r\nb\n", {"a", "", "", "b"}, false},
        {"last line without a line end", "one\nBUILD OK", {"one", "BUILD OK"}, true},
        {"marker in the wrong case", "Build ok\nbuild OK\n", {"Build ok", "build OK"}, false},
        {"only one CR dropped", "a\r\r\n", {"a\r"}, false},
        {"broken UTF-8",
         "caf\xE9 \xC3\xA9t\xC3\xA9\n",
         {"caf\xEF\xBF\xBD \xC3\xA9t\xC3\xA9"},
         false},
        {"no output at all", "", {}, false},
        {"marker split by a line end", "BUILD\n OK\n", {"BUILD", " OK"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto messages = build(c.output);
        ASSERT_GE(messages.size(), 3u);
        EXPECT_EQ(messages.front()["type"], "species");
        EXPECT_EQ(messages.front()["busy"], true);
        EXPECT_EQ(lines(messages), c.lines);
        EXPECT_EQ(notices(messages), Notices{c.succeeded ? kSucceeded : kFailed});
        // Lines first, then the notice, then the species message.
        EXPECT_EQ(messages[messages.size() - 2]["type"], "notice");
    }
}

// What the script does with them is shown under a real PowerShell (kit_script_test.cpp).
TEST_F(LocalBuildTest, RunsTheKitScriptWithTheWindowsArguments) {
    build("BUILD OK\n");
    EXPECT_EQ(readText(t.home / "pwsh-args"), "-NoProfile\n-ExecutionPolicy\nBypass\n-File\n" +
                                                  program() +
                                                  "/species-kit/build-species.ps1\n-ServerRoot\n" +
                                                  t.root() + "\n-Species\ndino\n");
}

TEST_F(LocalBuildTest, AScriptThatNeverEndsIsStoppedAtTheTimeLimit) {
    ScopedEnv hang("FAKE_PWSH_HANG", "1");
    t.app.timeLimits.localBuild = 1500;
    writeText(t.home / "pwsh-output", "started\n");
    const auto start = std::chrono::steady_clock::now();
    t.send(cmd("buildSpecies", "name", "dino"));
    // A second build while the first runs is refused and leaves it alone.
    t.send(cmd("buildSpecies", "name", "dino"));
    auto messages = untilWorkerEnds();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(lines(messages), std::vector<std::string>{"started"});
    EXPECT_EQ(notices(messages),
              (Notices{{true, "Another import or build is still running."},
                       {true,
                        "Build failed: the build script did not end within its time limit and was "
                        "stopped. The log shows how far it got."}}));
    EXPECT_FALSE(t.app.speciesBusy);
}

TEST_F(LocalBuildTest, MissingPowerShellOrKitIsSaidAtOnce) {
    {
        TempDir empty;
        ScopedEnv path("PATH", empty.path());
        t.send(cmd("buildSpecies", "name", "dino"));
        auto messages = t.take();
        ASSERT_EQ(notices(messages).size(), 1u);
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_TRUE(notices(messages)[0].first);
        EXPECT_NE(notices(messages)[0].second.find(kPowerShellName), std::string::npos);
        EXPECT_FALSE(t.app.speciesBusy);
    }
    fs::remove_all(program() + "/species-kit");
    t.send(cmd("buildSpecies", "name", "dino"));
    EXPECT_EQ(notices(t.take()),
              (Notices{{true, "The species-kit folder was not found next to the tool."}}));
    t.send(cmd("buildSpecies", "name", "Dino"));
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_FALSE(exists(t.home / "pwsh-args")) << "no build ran";
}

}  // namespace

}  // namespace species
