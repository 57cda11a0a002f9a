#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "bridge/asset_helper.h"
#include "bridge/text.h"
#include "studio/asset_helper.h"
#include "studio/studio.h"
#include "support/programs.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace studio {

namespace fs = std::filesystem;

namespace {

// A TestApp whose program folder holds tools/forgeset-assets, the fake helper.
class StudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        t.app.programFolder = t.home / "program";
        fs::create_directories(t.home / "program/tools");
        placeProgram(FORGESET_FAKE_ASSETS_PATH, t.home / "program/tools/forgeset-assets");
    }

    std::string assets() const { return t.appData() + "/assets"; }

    // Stores the game's species list as studioSpecies would; only listed species extract.
    void listed(const std::vector<std::string>& names) {
        writeText(assets() + "/species.json", nlohmann::json(names).dump());
    }

    // Runs a command and waits until the studio worker has answered it.
    std::vector<nlohmann::json> run(const std::string& message) {
        t.send(message);
        t.app.studioJobs.waitIdle();
        return t.take();
    }

    nlohmann::json studio() {
        auto messages = run(R"({"cmd":"studioRefresh"})");
        EXPECT_EQ(types(messages), std::vector<std::string>{"studio"});
        return messages.empty() ? nlohmann::json() : messages[0];
    }

    TestApp t;
};

using Notice = std::pair<bool, std::string>;

}  // namespace

TEST_F(StudioTest, MessageListsOnlyExtractedSpeciesAndTheHelper) {
    fs::create_directories(assets() + "/Rex");
    writeText(assets() + "/Rex/info.json", "{}");
    fs::create_directories(assets() + "/Half");  // no info.json yet
    fs::create_directories(assets() + "/.hidden");
    writeText(assets() + "/.hidden/info.json", "{}");
    writeText(assets() + "/Plain", "a file named like a species");
    fs::create_directories(assets() + "/Dir/info.json");  // a folder, not a file

    nlohmann::json m = studio();
    EXPECT_EQ(m["helper"], true);
    EXPECT_EQ(m["assetsDir"], assets());
    EXPECT_EQ(m["species"], nlohmann::json::array());
    EXPECT_EQ(m["extracted"], nlohmann::json::array({"Rex"}));

    fs::remove(t.home / "program/tools/forgeset-assets" + kProgramSuffix);
    EXPECT_EQ(studio()["helper"], false);
}

TEST_F(StudioTest, MemberOrderIsFixed) {
    t.send(R"({"cmd":"studioRefresh"})");
    t.app.studioJobs.waitIdle();
    auto raw = t.takeRaw();
    ASSERT_EQ(raw.size(), 1u);
    auto ordered = nlohmann::ordered_json::parse(raw[0]);
    std::vector<std::string> keys;
    for (auto& [key, value] : ordered.items())
        keys.push_back(key);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"type", "helper", "assetsDir", "species", "extracted"}));
}

TEST_F(StudioTest, FindsTheHelperInEachPlaceInOrder) {
    TempDir base;
    const std::string program = base / "app/bin";
    const std::string installed = program + kAssetHelperTails[0];
    const std::string specific = program + kAssetHelperTails[1];
    const std::string portable = program + kAssetHelperTails[2];
    fs::create_directories(program + "/tools");
    EXPECT_EQ(bridge::findAssetHelper(program), "");
    // A folder at the first place does not count; the development build output does.
    fs::create_directories(installed);
    writeText(portable, "");
    EXPECT_EQ(bridge::findAssetHelper(program), portable);
    writeText(specific, "");
    EXPECT_EQ(bridge::findAssetHelper(program), specific);
    fs::remove(installed);
    writeText(installed, "");
    EXPECT_EQ(bridge::findAssetHelper(program), installed);
}

TEST_F(StudioTest, SpeciesListIsStoredAndSent) {
    ScopedEnv mode("FAKE_ASSETS_SPECIES", "list");
    auto messages = run(R"({"cmd":"studioSpecies"})");
    ASSERT_EQ(types(messages), std::vector<std::string>{"studio"});
    auto expected = nlohmann::json::array(
        {"Tyrannosaurus", "Triceratops", "Stegosaurus", "Pachycephalosaurus", "Velociraptor"});
    EXPECT_EQ(messages[0]["species"], expected);
    EXPECT_EQ(nlohmann::json::parse(readText(assets() + "/species.json")), expected);
}

TEST_F(StudioTest, SpeciesListAfterABracketedLogRemarkIsTheRealList) {
    ScopedEnv mode("FAKE_ASSETS_SPECIES", "remark");
    auto messages = run(R"({"cmd":"studioSpecies"})");
    ASSERT_EQ(types(messages), std::vector<std::string>{"studio"});
    EXPECT_EQ(messages[0]["species"].size(), 5u);
    EXPECT_EQ(readText(assets() + "/species.json").front(), '[');
}

TEST_F(StudioTest, SpeciesListSpanRules) {
    EXPECT_EQ(speciesListSpan("x [\"a\"] y"), "[\"a\"]");
    EXPECT_EQ(speciesListSpan("error] cannot read [paks"), "");
    EXPECT_EQ(speciesListSpan("no brackets"), "");
    EXPECT_EQ(speciesListSpan(""), "");
    // Without a valid list inside, the whole bracketed span is kept as it is.
    EXPECT_EQ(speciesListSpan("[oops, no list] tail"), "[oops, no list]");
    EXPECT_EQ(speciesListSpan("[info] start\n[\"a\",\"b\"]\nend"), "[\"a\",\"b\"]");
}

TEST_F(StudioTest, UnreadableSpeciesOutputKeepsTheEarlierList) {
    writeText(assets() + "/species.json", R"(["Old"])");
    for (const char* mode : {"reversed", "empty"}) {
        ScopedEnv env("FAKE_ASSETS_SPECIES", mode);
        auto messages = run(R"({"cmd":"studioSpecies"})");
        EXPECT_EQ(notices(messages),
                  (std::vector<Notice>{
                      {true,
                       "Could not read the game files. Is The Varra installed, is the AES key "
                       "current?"}}))
            << mode;
        EXPECT_EQ(readText(assets() + "/species.json"), R"(["Old"])");
    }
}

TEST_F(StudioTest, StoredListThatIsNotJsonGoesOutAsAnEmptyArray) {
    ScopedEnv env("FAKE_ASSETS_SPECIES", "broken");
    auto messages = run(R"({"cmd":"studioSpecies"})");
    ASSERT_EQ(types(messages), std::vector<std::string>{"studio"});
    EXPECT_EQ(readText(assets() + "/species.json"), "[oops, no list]");
    EXPECT_EQ(messages[0]["species"], nlohmann::json::array());
    writeText(assets() + "/species.json", "");
    EXPECT_EQ(studio()["species"], nlohmann::json::array());
}

TEST_F(StudioTest, MissingHelperIsReportedByBothCommands) {
    fs::remove(t.home / "program/tools/forgeset-assets" + kProgramSuffix);
    for (const char* message :
         {R"({"cmd":"studioSpecies"})", R"({"cmd":"studioExtract","species":"Rex"})"}) {
        EXPECT_EQ(notices(run(message)),
                  (std::vector<Notice>{{true, "forgeset-assets.exe not found next to the tool."}}));
    }
}

TEST_F(StudioTest, ExtractWritesTheSpeciesAndAnnouncesIt) {
    listed({"Rex_2-b"});
    ScopedEnv log("FAKE_ASSETS_LOG", t.home / "helper.log");
    auto messages = run(R"({"cmd":"studioExtract","species":"Rex_2-b"})");
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "notice", "studio"}));
    EXPECT_EQ(notices(messages),
              (std::vector<Notice>{{false, "Extracting Rex_2-b from the game files..."},
                                   {false, "Rex_2-b extracted."}}));
    EXPECT_EQ(messages[2]["extracted"], nlohmann::json::array({"Rex_2-b"}));
    EXPECT_TRUE(exists(assets() + "/Rex_2-b/mesh.glb"));
    auto info = nlohmann::json::parse(readText(assets() + "/Rex_2-b/info.json"));
    EXPECT_EQ(info["files"].size(), 4u);
    // The helper got exactly the command line of an export.
    std::string line = readText(t.home / "helper.log");
    EXPECT_EQ(line.substr(0, line.rfind('\t')), "export\tRex_2-b\t" + assets() + "/Rex_2-b");
}

TEST_F(StudioTest, ExtractJudgesOnlyTheWordDone) {
    listed({"A", "B"});
    {
        ScopedEnv mode("FAKE_ASSETS_EXPORT", "inword");  // "abandoned" holds "done"
        EXPECT_EQ(notices(run(R"({"cmd":"studioExtract","species":"A"})")).back(),
                  Notice(false, "A extracted."));
    }
    ScopedEnv mode("FAKE_ASSETS_EXPORT", "capital");
    auto messages = run(R"({"cmd":"studioExtract","species":"B"})");
    EXPECT_EQ(notices(messages).back(), Notice(true, "Extraction failed: Done\n"));
    EXPECT_EQ(types(messages), (std::vector<std::string>{"notice", "notice"}));
    // What the failed export left counts as extracted once it holds info.json.
    EXPECT_EQ(studio()["extracted"], nlohmann::json::array({"A", "B"}));
}

TEST_F(StudioTest, FailedExtractShowsTheHelpersWordsReadably) {
    listed({"Rex"});
    ScopedEnv mode("FAKE_ASSETS_EXPORT", "fail");
    auto messages = run(R"({"cmd":"studioExtract","species":"Rex"})");
    auto text = notices(messages).back().second;
    EXPECT_EQ(text.rfind("Extraction failed: exporting Rex\nerror: could not open "
                         "\"pakchunk0-Windows.pak\"\n  path: C:\\Games",
                         0),
              0u)
        << text;
}

TEST_F(StudioTest, FloodedFailureOutputIsCutTo200BytesOfValidText) {
    listed({"Rex"});
    ScopedEnv mode("FAKE_ASSETS_EXPORT", "flood");
    auto messages = run(R"({"cmd":"studioExtract","species":"Rex"})");
    ASSERT_EQ(messages.size(), 2u);
    std::string text = messages[1]["text"];
    const std::string prefix = "Extraction failed: ";
    ASSERT_EQ(text.rfind(prefix, 0), 0u);
    // The output's own bytes (NULs and ill-formed UTF-8 included) arrive as at most 200 bytes
    // of valid text.
    EXPECT_EQ(text.substr(prefix.size(), 12), std::string("line 000000 \0", 13).substr(0, 12));
    EXPECT_EQ(bridge::fromUtf8(text), text);
    EXPECT_LE(text.size() - prefix.size(), 200u * 3);
}

TEST_F(StudioTest, BadSpeciesNamesAreIgnoredSilently) {
    ScopedEnv log("FAKE_ASSETS_LOG", t.home / "helper.log");
    for (const char* name :
         {"", "a b", "a/b", "a\\\\b", "a.b", "..", "12345678901234567890123456789012345678901"}) {
        auto messages = run(std::string(R"({"cmd":"studioExtract","species":")") + name + "\"}");
        EXPECT_TRUE(messages.empty()) << name;
    }
    EXPECT_TRUE(run(R"({"cmd":"studioExtract"})").empty());
    EXPECT_FALSE(exists(t.home / "helper.log"));
}

// A script could ask for any plain name and have the helper search the game files for it; only
// species of the stored list are extracted, and the list is the one at the time of the turn.
TEST_F(StudioTest, OnlyListedSpeciesAreExtracted) {
    ScopedEnv log("FAKE_ASSETS_LOG", t.home / "helper.log");
    EXPECT_TRUE(run(R"({"cmd":"studioExtract","species":"Rex"})").empty());
    listed({"Raptor"});
    EXPECT_TRUE(run(R"({"cmd":"studioExtract","species":"Rex"})").empty());
    EXPECT_TRUE(run(R"({"cmd":"studioExtract","species":"raptor"})").empty());
    // Nor a device name of Windows, which can be no folder there, even when listed.
    listed({"Raptor", "nul"});
    EXPECT_TRUE(run(R"({"cmd":"studioExtract","species":"nul"})").empty());
    EXPECT_FALSE(exists(t.home / "helper.log"));
    // Names the list escapes are compared as they read.
    writeText(assets() + "/species.json", R"(["Pteranod\u00f3n"])");
    EXPECT_EQ(notices(run(R"({"cmd":"studioExtract","species":"Pteranodón"})")).back(),
              Notice(false, "Pteranodón extracted."));
}

// "-h" or "--out=..." as a species would be read by the helper as an option, even from a
// hand-edited list.
TEST_F(StudioTest, ANameThatBeginsWithADashNeverReachesTheHelper) {
    ScopedEnv log("FAKE_ASSETS_LOG", t.home / "helper.log");
    listed({"-h", "--version", "-", "-Rex"});
    for (const char* name : {"-h", "--version", "-", "-Rex"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(
            run(std::string(R"({"cmd":"studioExtract","species":")") + name + "\"}").empty());
    }
    EXPECT_FALSE(exists(t.home / "helper.log"));
}

TEST_F(StudioTest, HungHelperEndsAtItsLimitWhileOtherCommandsAreAnswered) {
    listed({"Rex"});
    ScopedEnv mode("FAKE_ASSETS_EXPORT", "hang");
    t.app.timeLimits.exportSpecies = 1500;
    t.app.serverRoot.set(t.root());
    auto start = std::chrono::steady_clock::now();
    t.send(R"({"cmd":"studioExtract","species":"Rex"})");
    // The progress notice arrives while the helper is still running ...
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    t.send(R"({"cmd":"refresh"})");
    auto early = t.take();
    EXPECT_EQ(types(early), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(early)[0].second, "Extracting Rex from the game files...");
    // ... and the failure follows once the limit has ended it.
    t.app.studioJobs.waitIdle();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 1.4);
    EXPECT_LT(took, 10.0);
    // The owner learns that the helper hung, not just that it failed.
    EXPECT_EQ(notices(t.take()),
              (std::vector<Notice>{
                  {true, "Extraction failed: forgeset-assets.exe stopped after 1.5 s."}}));
}

TEST_F(StudioTest, ASpeciesListPastItsLimitSaysSo) {
    writeText(assets() + "/species.json", R"(["Old"])");
    ScopedEnv delay("FAKE_ASSETS_DELAY_MS", "3000");
    t.app.timeLimits.listSpecies = 300;
    EXPECT_EQ(notices(run(R"({"cmd":"studioSpecies"})")),
              (std::vector<Notice>{{true,
                                    "Could not read the game files: forgeset-assets.exe stopped "
                                    "after 0.3 s."}}));
    EXPECT_EQ(readText(assets() + "/species.json"), R"(["Old"])");
}

TEST_F(StudioTest, CommandsRunInTheOrderReceived) {
    listed({"Tyrannosaurus"});
    ScopedEnv delay("FAKE_ASSETS_DELAY_MS", "200");
    t.send(R"({"cmd":"studioExtract","species":"Tyrannosaurus"})");
    t.send(R"({"cmd":"studioSpecies"})");
    t.send(R"({"cmd":"studioExtract","species":"Triceratops"})");
    t.send(R"({"cmd":"studioRefresh"})");
    t.app.studioJobs.waitIdle();
    auto messages = t.take();
    std::vector<std::string> sequence;
    for (auto& m : messages) {
        sequence.push_back(m["type"] == "notice" ? std::string(m["text"]) : std::string(m["type"]));
    }
    EXPECT_EQ(sequence, (std::vector<std::string>{"Extracting Tyrannosaurus from the game files...",
                                                  "Tyrannosaurus extracted.", "studio", "studio",
                                                  "Extracting Triceratops from the game files...",
                                                  "Triceratops extracted.", "studio", "studio"}));
}

}  // namespace studio
