#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bridge/text.h"
#include "support/broken_name.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;
using namespace std::string_literals;

const std::vector<std::string> kTopLevel = {"type",   "root", "found",     "runner",
                                            "plugin", "cfg",  "resources", "skinsLua",
                                            "skins",  "ai",   "textures"};
const std::vector<std::string> kCfgKeys = {
    "sv_hostname",   "sv_maxplayers", "sv_map",    "sv_port",    "sv_httpport",
    "sv_scriptport", "sv_publicip",   "sv_admins", "sv_gamedir", "sv_rconpassword"};

std::vector<std::string> keysInOrder(const OrderedJson& object) {
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it)
        keys.push_back(it.key());
    return keys;
}

class StateTest : public ::testing::Test {
  protected:
    // Sends refresh and returns the one message it must post, as text.
    std::string refreshRaw() {
        t.send(R"({"cmd":"refresh"})");
        auto raw = t.takeRaw();
        EXPECT_EQ(raw.size(), 1u);
        return raw.empty() ? std::string("{}") : raw[0];
    }

    OrderedJson refresh() {
        std::string raw = refreshRaw();
        try {
            return OrderedJson::parse(raw);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "state is not JSON: " << e.what() << ": " << raw.substr(0, 300);
            return OrderedJson::object();
        }
    }

    std::string in(const std::string& tail) const { return t.root() + "/" + tail; }

    TestApp t;
};

// Every member in its empty form, as a folder that is missing or not chosen shows.
void expectEmptyForms(const OrderedJson& s) {
    EXPECT_EQ(keysInOrder(s), kTopLevel);
    EXPECT_EQ(s["type"], "state");
    EXPECT_EQ(s["found"], false);
    EXPECT_EQ(s["runner"], false);
    EXPECT_EQ(s["plugin"], false);
    EXPECT_EQ(keysInOrder(s["cfg"]), kCfgKeys);
    for (const auto& [key, value] : s["cfg"].items())
        EXPECT_EQ(value, "") << key;
    EXPECT_EQ(s["resources"], OrderedJson::array());
    EXPECT_EQ(s["skinsLua"], false);
    EXPECT_TRUE(s["skins"].is_null());
    EXPECT_EQ(keysInOrder(s["ai"]), (std::vector<std::string>{"brains", "spawns"}));
    EXPECT_EQ(s["ai"]["brains"], "");
    EXPECT_EQ(s["ai"]["spawns"], "");
    EXPECT_EQ(s["textures"], OrderedJson::array());
}

TEST_F(StateTest, NoServerRootGivesEveryMemberEmptyWithoutWhitespace) {
    std::string raw = refreshRaw();
    OrderedJson s = OrderedJson::parse(raw);
    expectEmptyForms(s);
    EXPECT_EQ(s["root"], "");
    // Compact output in member order is exactly what the library writes back.
    EXPECT_EQ(raw, s.dump());
}

TEST_F(StateTest, RootThatIsAFileOrIsGoneIsNotFoundButStillNamed) {
    writeText(t.home / "plain", "x");
    t.app.serverRoot.set(t.home / "plain");
    OrderedJson s = refresh();
    expectEmptyForms(s);
    EXPECT_EQ(s["root"], t.home / "plain");

    t.app.serverRoot.set(in("gone"));
    s = refresh();
    expectEmptyForms(s);
    EXPECT_EQ(s["root"], in("gone"));
}

TEST_F(StateTest, FullFolderFillsEveryMemberInOrder) {
    t.app.serverRoot.set(t.root());
    writeText(in("VarraForgesetServer.exe"), "#!/bin/sh\n");
    writeText(in("server-plugin/build/varra-forgeset-server.dll"), "dll");
    writeText(in("server.cfg"),
              "sv_hostname  \"Quoted\" \\ name\nsv_port 7777\nsv_port 1\nload zeta\nload alpha\n");
    writeText(in("resources/alpha/manifest.lua"), "");
    writeText(in("resources/alpha/server.lua"), "");
    writeText(in("resources/alpha/client.lua"), "");
    fs::create_directories(in("resources/zeta/manifest.lua"));  // a folder is not the file
    writeText(in("resources/zeta/client.lua"), "");
    fs::create_directories(in("resources/mid"));
    fs::create_directories(in("resources/.git"));
    writeText(in("resources/notes.txt"), "not a resource");
    writeText(in("resources/skins/skins.lua"), "Skins = {}\n");
    writeText(in("resources/skins/skins.json"), R"([{"name":"neon","zones":{}}])");
    writeText(in("data/ai/brains.json"), "{\n  \"version\": 1,\n\t\"q\": \"a\\\"b\"\r\n}");
    writeText(in("data/ai/spawns.json"), "{}");
    writeText(in("resources/skins/textures/b.png"), "png");
    writeText(in("resources/skins/textures/A.PNG"), "png");
    writeText(in("resources/skins/textures/.hidden.png"), "png");
    writeText(in("resources/skins/textures/c.png.txt"), "no");
    fs::create_directories(in("resources/skins/textures/dir.png"));

    OrderedJson s = refresh();
    EXPECT_EQ(keysInOrder(s), kTopLevel);
    EXPECT_EQ(s["root"], t.root());
    EXPECT_EQ(s["found"], true);
    EXPECT_EQ(s["runner"], true);
    EXPECT_EQ(s["plugin"], true);
    EXPECT_EQ(keysInOrder(s["cfg"]), kCfgKeys);
    EXPECT_EQ(s["cfg"]["sv_hostname"], "\"Quoted\" \\ name");
    EXPECT_EQ(s["cfg"]["sv_port"], "7777");
    EXPECT_EQ(s["cfg"]["sv_map"], "");

    // Sorted by name; dot folders and plain files are not resources.
    ASSERT_EQ(s["resources"].size(), 4u);
    const std::vector<std::string> flags = {"name", "enabled", "manifest", "server", "client"};
    for (const auto& r : s["resources"])
        EXPECT_EQ(keysInOrder(r), flags);
    EXPECT_EQ(s["resources"][0],
              OrderedJson::parse(R"({"name":"alpha","enabled":true,)"
                                 R"("manifest":true,"server":true,"client":true})"));
    EXPECT_EQ(s["resources"][1]["name"], "mid");
    EXPECT_EQ(s["resources"][1]["enabled"], false);
    EXPECT_EQ(s["resources"][2]["name"], "skins");
    EXPECT_EQ(s["resources"][3],
              OrderedJson::parse(R"({"name":"zeta","enabled":true,)"
                                 R"("manifest":false,"server":false,"client":true})"));

    EXPECT_EQ(s["skinsLua"], true);
    EXPECT_EQ(s["skins"], OrderedJson::parse(readText(in("resources/skins/skins.json"))));
    EXPECT_EQ(keysInOrder(s["ai"]), (std::vector<std::string>{"brains", "spawns"}));
    // The page parses the string back to the very text of the file.
    EXPECT_EQ(s["ai"]["brains"], readText(in("data/ai/brains.json")));
    EXPECT_EQ(s["ai"]["spawns"], "{}");
    EXPECT_EQ(s["textures"], OrderedJson::parse(R"([".hidden.png","A.PNG","b.png"])"));
}

TEST_F(StateTest, RunnerAndPluginMustBeFiles) {
    t.app.serverRoot.set(t.root());
    fs::create_directories(in("VarraForgesetServer.exe"));
    fs::create_directories(in("server-plugin/build/varra-forgeset-server.dll"));
    OrderedJson s = refresh();
    EXPECT_EQ(s["found"], true);
    EXPECT_EQ(s["runner"], false);
    EXPECT_EQ(s["plugin"], false);

    // A plugin in a server-plugin folder beside the server folder counts as well.
    writeText(t.home / "server-plugin/build/varra-forgeset-server.dll", "dll");
    EXPECT_EQ(refresh()["plugin"], true);
}

TEST_F(StateTest, SkinsDocumentGoesInAsItStandsOrAsTextWhenBroken) {
    t.app.serverRoot.set(t.root());
    const std::string json = in("resources/skins/skins.json");
    writeText(json, "");
    EXPECT_TRUE(refresh()["skins"].is_null());
    writeText(json, "[]");
    EXPECT_EQ(refresh()["skins"], OrderedJson::array());
    EXPECT_EQ(refresh()["skinsLua"], false);
    // A broken document must not break the whole message: it arrives as a string.
    for (std::string broken : {"[{\"name\":"s, "[] []"s, "   "s, "[\"a\0\"]"s}) {
        SCOPED_TRACE(broken);
        writeText(json, broken);
        EXPECT_EQ(refresh()["skins"], broken);
    }
    // A byte-order mark from a Windows editor does not make the document broken.
    writeText(json, "\xEF\xBB\xBF[{\"name\":\"a\"}]");
    EXPECT_EQ(refresh()["skins"], OrderedJson::parse("[{\"name\":\"a\"}]"));
    // Ill-formed UTF-8 inside a valid document becomes U+FFFD and the document stays one.
    writeText(json, "[{\"name\":\"a\xFF\"}]");
    EXPECT_EQ(refresh()["skins"], OrderedJson::parse("[{\"name\":\"a\xEF\xBF\xBD\"}]"));
}

TEST_F(StateTest, HostileBytesInFilesAndNamesStillGiveValidJson) {
    t.app.serverRoot.set(t.root());
    writeText(in("data/ai/brains.json"), "\0\x01\x1f\x7f\xC3\x28\xF0\x9F\x98\x80\xED\xA0\x80"s);
    writeText(in("data/ai/spawns.json"), "cut \xE2\x82");
    // Names that are no text: where this system cannot have them (Wine), the rest holds.
    const bool brokenNames =
        makeEntryWithBrokenName(in("resources"), "bad", "name", true) &&
        makeEntryWithBrokenName(in("resources/skins/textures"), "t", ".png", false);
    writeText(in("server.cfg"), "sv_map a\x01\xC0\xAF\n");
    OrderedJson s = refresh();
    EXPECT_EQ(s["ai"]["brains"],
              "\0\x01\x1f\x7f\xEF\xBF\xBD(\xF0\x9F\x98\x80"
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"s);
    EXPECT_EQ(s["ai"]["spawns"], "cut \xEF\xBF\xBD");
    if (brokenNames) {
        EXPECT_EQ(s["resources"][0]["name"], "bad\xEF\xBF\xBDname");
        EXPECT_EQ(s["textures"][0], "t\xEF\xBF\xBD.png");
    }
    EXPECT_EQ(s["cfg"]["sv_map"], "a\x01\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(StateTest, LargeDocumentsGoInWholeWhateverTheyHold) {
    // Documents many read blocks long, with escapes, characters of every length and broken
    // bytes all through them, so some stand across the end of every block.
    t.app.serverRoot.set(t.root());
    std::string brains, spawns, skins = "\xEF\xBB\xBF[";
    for (int i = 0; brains.size() < 150'000; ++i) {
        const std::string n = std::to_string(i);
        brains += "\"note\": \"Rudel \\\"" + n + "\\\" – 恐竜 😀\",\n\t\xFF\xE2\x82\x01 ";
        spawns += std::string(static_cast<std::size_t>(i % 29), 'p') + "é\r\n";
        skins +=
            (i ? ",\n  " : "\n  ") + ("{\"name\": \"skin_" + n + "\", \"label\": \"Grün 恐竜\"}");
    }
    skins += "\n]\n";
    writeText(in("data/ai/brains.json"), brains);
    writeText(in("data/ai/spawns.json"), spawns);
    writeText(in("resources/skins/skins.json"), skins);
    OrderedJson s = refresh();
    EXPECT_EQ(s["ai"]["brains"], bridge::fromUtf8(brains));
    EXPECT_EQ(s["ai"]["spawns"], spawns);
    EXPECT_EQ(s["skins"], OrderedJson::parse(skins.substr(3)));
    EXPECT_EQ(keysInOrder(s), kTopLevel);
}

TEST_F(StateTest, EveryCallReadsTheDiskAfresh) {
    t.app.serverRoot.set(t.root());
    EXPECT_EQ(refresh()["resources"].size(), 0u);
    fs::create_directories(in("resources/arena"));
    writeText(in("server.cfg"), "load arena\n");
    EXPECT_EQ(refresh()["resources"][0]["enabled"], true);
    fs::remove(in("server.cfg"));
    EXPECT_EQ(refresh()["resources"][0]["enabled"], false);
}

}  // namespace

}  // namespace server
