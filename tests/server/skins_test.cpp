#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/symlinks.h"
#include "server/skins_resource_fixture.h"
#include "server/templates.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;
using namespace std::string_literals;

const std::string kSkinsSaved = "Skins saved. Restart the server to apply.";
const std::string kJson = R"([{"name":"neon","species":"","admin":false}])";
const std::string kLua = "Skins = {\r\n  neon = {\r\n  },\r\n}\r\n";

class SkinsTest : public SkinsResourceTest {
  protected:
    void saveSkins(const std::string& json, const std::string& lua) {
        t.send(OrderedJson{
            {"cmd", "saveSkins"}, {"json", base64Encode(json)}, {"lua", base64Encode(lua)}}
                   .dump());
    }
};

TEST_F(SkinsTest, FirstSaveMakesTheResourceWritesBothFilesAndEnablesIt) {
    writeText(t.root() + "/server.cfg", "sv_port 1");
    saveSkins(kJson, kLua);
    EXPECT_EQ(readText(skins("skins.json")), kJson);
    EXPECT_EQ(readText(skins("skins.lua")), kLua);
    EXPECT_EQ(readText(skins("manifest.lua")), templates::skinsManifest);
    EXPECT_EQ(readText(skins("server.lua")), templates::skinsServer);
    EXPECT_EQ(readText(skins("client.lua")), templates::skinsClient);
    EXPECT_TRUE(fs::is_directory(skins("textures")));
    EXPECT_FALSE(exists(skins("skins.lua.bak")));
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "sv_port 1\r\nload skins\r\n");
    Json state = expectNoticeThenState(false, kSkinsSaved);
    EXPECT_EQ(state["skins"], Json::parse(kJson));
    EXPECT_EQ(state["skinsLua"], true);
    EXPECT_EQ(state["resources"][0]["enabled"], true);
}

TEST_F(SkinsTest, AnEmptyListStillSavesAndBytesAreKeptExactly) {
    saveSkins("[]", "Skins = {\r\n}\r\n");
    EXPECT_EQ(readText(skins("skins.json")), "[]");
    EXPECT_EQ(readText(skins("skins.lua")), "Skins = {\r\n}\r\n");
    EXPECT_EQ(expectNoticeThenState(false, kSkinsSaved)["skins"], Json::array());

    // The host stores what it gets, even bytes that are not UTF-8; the state stays JSON.
    const std::string odd = "[\"\xFF\0\"]"s;
    saveSkins(odd, "-- \xFE\0\n"s);
    EXPECT_EQ(readText(skins("skins.json")), odd);
    EXPECT_EQ(readText(skins("skins.lua")), "-- \xFE\0\n"s);
    EXPECT_EQ(expectNoticeThenState(false, kSkinsSaved)["skins"], "[\"\xEF\xBF\xBD\0\"]"s);
}

TEST_F(SkinsTest, EmptyOrMissingTextsSaveNothing) {
    for (std::string m : {R"({"cmd":"saveSkins"})"s, R"({"cmd":"saveSkins","json":"W10="})"s,
                          R"({"cmd":"saveSkins","json":"","lua":"eA=="})"s,
                          R"({"cmd":"saveSkins","json":"====","lua":"eA=="})"s}) {
        SCOPED_TRACE(m);
        t.send(m);
        expectOnlyNotice("Nothing to save.");
    }
    EXPECT_TRUE(fs::is_empty(t.root()));
}

TEST_F(SkinsTest, HandWrittenListIsBackedUpOnceBeforeTheFirstSave) {
    writeText(skins("skins.lua"), "-- by hand\r\nSkins = {}\n");
    saveSkins(kJson, kLua);
    EXPECT_EQ(readText(skins("skins.lua.bak")), "-- by hand\r\nSkins = {}\n");
    EXPECT_EQ(readText(skins("skins.lua")), kLua);

    // skins.json now marks skins.lua as ours: the next save makes no copy.
    saveSkins("[1]", "Skins = {}\r\n");
    EXPECT_EQ(readText(skins("skins.lua.bak")), "-- by hand\r\nSkins = {}\n");
    EXPECT_EQ(readText(skins("skins.lua")), "Skins = {}\r\n");

    // Without skins.json the list counts as hand-written again and the old copy is replaced.
    fs::remove(skins("skins.json"));
    saveSkins(kJson, kLua);
    EXPECT_EQ(readText(skins("skins.lua.bak")), "Skins = {}\r\n");
    t.take();
}

TEST_F(SkinsTest, FailedBackupStopsBeforeTheHandWrittenListIsLost) {
    writeText(skins("skins.lua"), "-- by hand\n");
    fs::create_directories(skins("skins.lua.bak"));
    saveSkins(kJson, kLua);
    expectNoticeThenState(true, "Could not back up skins.lua; nothing was saved.");
    EXPECT_EQ(readText(skins("skins.lua")), "-- by hand\n");
    EXPECT_FALSE(exists(skins("skins.json")));
    EXPECT_FALSE(exists(t.root() + "/server.cfg"));
}

TEST_F(SkinsTest, WriteFailuresAreReportedAndNothingIsEnabled) {
    fs::create_directories(skins("skins.json"));
    saveSkins(kJson, kLua);
    expectNoticeThenState(true, "Could not write skins.json.");
    EXPECT_FALSE(exists(skins("skins.lua")));
    EXPECT_FALSE(exists(t.root() + "/server.cfg"));

    fs::remove(skins("skins.json"));
    fs::create_directories(skins("skins.lua"));
    saveSkins(kJson, kLua);
    expectNoticeThenState(true, "Could not write skins.lua.");
    EXPECT_FALSE(exists(t.root() + "/server.cfg"));

    fs::remove(skins("skins.lua"));
    fs::create_directories(t.root() + "/server.cfg");
    saveSkins(kJson, kLua);
    expectNoticeThenState(true, "Could not write server.cfg.");
    EXPECT_EQ(readText(skins("skins.lua")), kLua);
}

TEST_F(SkinsTest, OwnersEditsToTheSkinsScriptsSurvive) {
    writeText(skins("server.lua"), "-- edited\n");
    saveSkins(kJson, kLua);
    EXPECT_EQ(readText(skins("server.lua")), "-- edited\n");
    EXPECT_EQ(readText(skins("client.lua")), templates::skinsClient);
    EXPECT_EQ(readText(skins("manifest.lua")), templates::skinsManifest);
    t.take();
}

// What a tool stopped in the middle of a save leaves behind, and what the next init makes of
// it: the pair is always from one save.
TEST_F(SkinsTest, AStoppedSaveIsCompletedOrForgottenAtTheNextInit) {
    const std::string oldJson = "[\"old\"]", oldLua = "-- old\r\n";
    const std::string newJson = "[\"new\"]\n", newLua = "-- new\n\n";
    const std::string record = std::to_string(newJson.size()) + "\n" + newJson + newLua;
    struct Case {
        const char* name;
        std::string pending;  // empty: no record
        std::string json, lua;
        bool completed;
    };
    const std::vector<Case> cases{
        {"before the record", "", oldJson, oldLua, false},
        {"after the record", record, oldJson, oldLua, true},
        {"between the two files", record, newJson, oldLua, true},
        {"before the record was removed", record, newJson, newLua, true},
        {"a record no save made", "12\n[]", oldJson, oldLua, false},
        {"a record without its length", "[\"new\"]", oldJson, oldLua, false},
    };
    writeText(t.appData() + "/server-root.txt", t.root());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(skins(""));
        writeText(skins("skins.json"), c.json);
        writeText(skins("skins.lua"), c.lua);
        if (!c.pending.empty()) writeText(skins("skins.pending"), c.pending);
        t.send(R"({"cmd":"init"})");
        Json state = t.take().at(0);
        EXPECT_EQ(readText(skins("skins.json")), c.completed ? newJson : oldJson);
        EXPECT_EQ(readText(skins("skins.lua")), c.completed ? newLua : oldLua);
        EXPECT_EQ(state["skins"], Json::parse(c.completed ? newJson : oldJson));
        EXPECT_FALSE(exists(skins("skins.pending")));
    }
}

// The record is the tool's own file: a link planted at its name must not carry the texts
// outside the server folder. A failed skins.lua keeps the record, so the pair is made whole
// once it can be; a failed skins.json forgets it, since the owner was told nothing was saved.
TEST_F(SkinsTest, TheRecordIsNeverWrittenThroughALinkAndOutlivesOnlyAHalfSave) {
    fs::create_directories(skins(""));
    const std::string outside = t.root() + "/../outside.txt";
    writeText(outside, "theirs");
    // Where no link can be made (Wine), the rest still holds.
    makeSymlink(outside, skins("skins.pending"));
    saveSkins(kJson, kLua);
    expectNoticeThenState(false, kSkinsSaved);
    EXPECT_EQ(readText(outside), "theirs");
    EXPECT_FALSE(exists(skins("skins.pending")));

    fs::remove(skins("skins.json"));
    fs::create_directories(skins("skins.json"));
    saveSkins("[2]", "-- 2");
    expectNoticeThenState(true, "Could not write skins.json.");
    EXPECT_FALSE(exists(skins("skins.pending")));
    fs::remove(skins("skins.json"));

    fs::remove(skins("skins.lua"));
    fs::create_directories(skins("skins.lua"));
    saveSkins("[3]", "-- 3");
    expectNoticeThenState(true, "Could not write skins.lua.");
    fs::remove(skins("skins.lua"));
    writeText(t.appData() + "/server-root.txt", t.root());
    t.send(R"({"cmd":"init"})");
    t.take();
    EXPECT_EQ(readText(skins("skins.json")), "[3]");
    EXPECT_EQ(readText(skins("skins.lua")), "-- 3");
}

TEST_F(SkinsTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    saveSkins(kJson, kLua);
    saveSkins("", "");
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_TRUE(fs::is_empty(t.root()));
}

}  // namespace

}  // namespace server
