#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/skins_resource_fixture.h"
#include "server/templates.h"
#include "support/test_app.h"

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

TEST_F(SkinsTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    saveSkins(kJson, kLua);
    saveSkins("", "");
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_TRUE(fs::is_empty(t.root()));
}

}  // namespace
