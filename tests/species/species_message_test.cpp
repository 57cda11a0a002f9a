#include <filesystem>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/text.h"
#include "platform/symlinks.h"
#include "species/busy.h"
#include "species/workspace.h"
#include "species_fixture.h"

namespace species {

namespace fs = std::filesystem;

namespace {

class SpeciesMessageTest : public SpeciesTest {
  protected:
    nlohmann::json refresh() {
        t.send(cmd("speciesRefresh"));
        auto messages = t.take();
        EXPECT_EQ(types(messages), std::vector<std::string>{"species"});
        return messages.empty() ? nlohmann::json() : messages[0];
    }

    std::vector<std::string> names() {
        std::vector<std::string> listed;
        const nlohmann::json message = refresh();
        for (const auto& i : message["items"])
            listed.push_back(i["name"]);
        return listed;
    }
};

TEST_F(SpeciesMessageTest, NameRule) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"dino", true},
        {"dino_2", true},
        {"0", true},
        {std::string(32, 'a'), true},
        {std::string(33, 'a'), false},
        {"", false},
        {"_tmp", false},
        {"Dino", false},
        {"a-b", false},
        {"a.b", false},
        {"a b", false},
        {"a/b", false},
        {"..", false},
        {"caf\xC3\xA9", false},
        {std::string("a\0b", 3), false},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(isSpeciesName(name), valid) << name;
}

TEST_F(SpeciesMessageTest, ListsOnlyWorkspacesWhoseFolderNameFollowsTheRule) {
    const std::vector<std::string> folders = {
        "Dino",    "_tmp", "a-b", std::string(33, 'x'), "dino_2", "_deleted_rex_123",
        ".hidden", "rex"};
    for (const std::string& name : folders)
        fs::create_directories(ws(name));
    writeText(ws("plainfile"), "a workspace that is a file");
    // A link to a workspace elsewhere is listed like a folder: the owner may keep one on
    // another disk.
    fs::create_directories(t.home / "elsewhere/moved");
    if (makeSymlink(t.home / "elsewhere/moved", ws("linked"), true)) {
        EXPECT_EQ(names(), (std::vector<std::string>{"dino_2", "linked", "rex"}));
    } else {
        EXPECT_EQ(names(), (std::vector<std::string>{"dino_2", "rex"}));
    }
}

TEST_F(SpeciesMessageTest, FieldsInOrderAndAnEmptyWorkspace) {
    fs::create_directories(ws("dino"));
    t.send(cmd("speciesRefresh"));
    auto raw = t.takeRaw();
    ASSERT_EQ(raw.size(), 1u);
    auto ordered = nlohmann::ordered_json::parse(raw[0]);
    std::vector<std::string> keys;
    for (auto& [key, value] : ordered.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"type", "kit", "helper", "busy", "build", "hosts",
                                              "items"}));
    keys.clear();
    for (auto& [key, value] : ordered["build"].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"api", "signedIn", "name", "steamId", "signingIn"}));
    EXPECT_EQ(ordered["items"][0],
              nlohmann::ordered_json::parse(R"({"name":"dino","json":"","inspect":"","log":"",)"
                                            R"("pak":false,"remoteJob":false})"));
    // No blanks between tokens: the text is exactly its own compact form.
    EXPECT_EQ(ordered.dump(), raw[0]);
}

TEST_F(SpeciesMessageTest, CarriesEachFileWholeAndTheLogsLastBytes) {
    const std::string json = "{\n  \"name\": \"dino\",\n  \"label\": \"Dino \\\"Q\\\"\"\n}\n";
    writeText(ws("dino") + "/species.json", json);
    writeText(ws("dino") + "/source/inspect.json", "{\"mesh\":{}}");
    writeText(t.root() + "/client-mods/species_dino.pak", "");
    writeText(ws("dino") + "/build/remote-job.txt", "job");
    // Exactly the limit is whole; one byte more loses the first byte.
    const std::string log = "L" + std::string(5998, 'x') + "E";
    writeText(ws("dino") + "/build/build.log", log);
    writeText(ws("rex") + "/build/build.log", "F" + log);
    // Broken bytes in a file, a folder where a file belongs: still valid JSON, still listed.
    writeText(ws("raw") + "/species.json", "{\"label\":\"caf\xE9\"}\x01");
    fs::create_directories(ws("raw") + "/source/inspect.json");
    fs::create_directories(t.root() + "/client-mods/species_raw.pak");
    // The tail starts inside a two-byte character: the stray byte is dropped.
    writeText(ws("cut") + "/build/build.log", "\xC3\xA9" + std::string(5999, 'y'));

    nlohmann::json m = refresh();
    nlohmann::json dino = item(m, "dino");
    EXPECT_EQ(dino["json"], json);
    EXPECT_EQ(dino["inspect"], "{\"mesh\":{}}");
    EXPECT_EQ(dino["log"], log);
    EXPECT_EQ(dino["pak"], true);
    EXPECT_EQ(dino["remoteJob"], true);
    EXPECT_EQ(item(m, "rex")["log"], log);
    EXPECT_EQ(item(m, "rex")["pak"], false);
    nlohmann::json raw = item(m, "raw");
    EXPECT_EQ(raw["json"], "{\"label\":\"caf\xEF\xBF\xBD\"}\x01");
    EXPECT_EQ(raw["inspect"], "");
    EXPECT_EQ(raw["pak"], false);
    EXPECT_EQ(item(m, "cut")["log"], std::string(5999, 'y'));
}

TEST_F(SpeciesMessageTest, LargeFilesGoInWholeWhateverTheyHold) {
    // Files many read blocks long, with characters and broken bytes all through them, so
    // some stand across the end of every block; and messages of very different sizes one
    // after the other.
    std::string json = "{\n", inspect;
    for (int i = 0; json.size() < 120'000; ++i) {
        json += "  \"attack_" + std::to_string(i) + "\": \"Biss \\\"hart\\\" – 恐竜 😀\",\n";
        inspect += "\xC3\xE2\x82\xF0\x9F\x98 mesh\t" + std::to_string(i) + "\n";
    }
    json += "}\n";
    writeText(ws("big") + "/species.json", json);
    writeText(ws("big") + "/source/inspect.json", inspect);
    nlohmann::json big = item(refresh(), "big");
    EXPECT_EQ(big["json"], json);
    EXPECT_EQ(big["inspect"], bridge::fromUtf8(inspect));
    fs::remove_all(ws("big"));
    writeText(ws("small") + "/species.json", "{}");
    EXPECT_EQ(item(refresh(), "small")["json"], "{}");
}

TEST_F(SpeciesMessageTest, KitHelperBusyAndTheHosts) {
    nlohmann::json m = refresh();
    EXPECT_EQ(m["kit"], true);
    EXPECT_EQ(m["helper"], true);
    EXPECT_EQ(m["busy"], false);
    EXPECT_EQ(m["build"]["signedIn"], false);
    EXPECT_EQ(m["build"]["signingIn"], false);
    // One whole template description per host file, each a document the page can read.
    ASSERT_EQ(m["hosts"].size(), 22u);
    for (const auto& text : m["hosts"]) {
        nlohmann::json host = nlohmann::json::parse(text.get<std::string>());
        EXPECT_TRUE(host["species"].is_string());
        EXPECT_TRUE(host["label"].is_string());
        EXPECT_FALSE(host["abilities"].empty());
        for (const char* stat :
             {"health", "damageTaken", "walkSpeed", "runSpeed", "swimSpeed", "swimFastSpeed",
              "stamina", "growthSeconds", "hungerRate", "thirstRate"}) {
            EXPECT_TRUE(host["stats"][stat].is_number()) << host["species"] << " " << stat;
        }
    }

    ASSERT_TRUE(tryClaimBusy(t.app));
    t.app.signInActive = true;
    // Without a server folder the hosts stay and the items go.
    t.app.serverRoot.set("");
    fs::create_directories(ws("dino"));
    m = refresh();
    EXPECT_EQ(m["busy"], true);
    EXPECT_EQ(m["build"]["signingIn"], true);
    EXPECT_EQ(m["items"], nlohmann::json::array());
    EXPECT_EQ(m["hosts"].size(), 22u);
    releaseBusy(t.app);

    fs::remove_all(program() + "/species-kit");
    fs::remove(program() + "/tools/forgeset-assets" + kProgramSuffix);
    m = refresh();
    EXPECT_EQ(m["kit"], false);
    EXPECT_EQ(m["helper"], false);
    EXPECT_EQ(m["hosts"], nlohmann::json::array());
}

TEST_F(SpeciesMessageTest, FindsTheKitBesideTheProgramThenOneLevelUp) {
    TempDir base;
    const std::string program = base / "app/bin";
    fs::create_directories(program);
    EXPECT_EQ(findSpeciesKit(program), "");
    writeText(program + "/species-kit", "a file is no kit");
    EXPECT_EQ(findSpeciesKit(program), "");
    fs::create_directories(base / "app/species-kit");
    EXPECT_EQ(findSpeciesKit(program), program + "/../species-kit");
    fs::remove(program + "/species-kit");
    fs::create_directories(program + "/species-kit");
    EXPECT_EQ(findSpeciesKit(program), program + "/species-kit");
}

TEST_F(SpeciesMessageTest, SpeciesFolderThatIsALinkOrAFile) {
    // A linked species folder is followed: the listing is what the link leads to.
    fs::create_directories(t.home / "store/dino");
    MAKE_SYMLINK_OR_SKIP(t.home / "store", t.root() + "/species", true);
    EXPECT_EQ(names(), std::vector<std::string>{"dino"});
    fs::remove(t.root() + "/species");
    makeSymlink(t.home / "nowhere", t.root() + "/species");
    EXPECT_EQ(names(), std::vector<std::string>{});
    fs::remove(t.root() + "/species");
    writeText(t.root() + "/species", "");
    EXPECT_EQ(names(), std::vector<std::string>{});
}

// Two threads claim at once, many times over: exactly one wins each round.
TEST_F(SpeciesMessageTest, BusyRaceHasOneWinner) {
    for (int round = 0; round < 300; ++round) {
        std::atomic<int> ready{0};
        bool won[2] = {false, false};
        auto claim = [&](int i) {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            won[i] = tryClaimBusy(t.app);
        };
        std::thread a(claim, 0), b(claim, 1);
        a.join();
        b.join();
        ASSERT_NE(won[0], won[1]) << "round " << round;
        EXPECT_FALSE(tryClaimBusy(t.app));
        releaseBusy(t.app);
    }
    EXPECT_TRUE(tryClaimBusy(t.app));
    releaseBusy(t.app);
}

}  // namespace

}  // namespace species
