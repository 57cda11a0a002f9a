#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;
using namespace std::string_literals;

const std::vector<std::string> kKeys = {"sv_hostname", "sv_maxplayers",  "sv_map",      "sv_port",
                                        "sv_httpport", "sv_scriptport",  "sv_publicip", "sv_admins",
                                        "sv_gamedir",  "sv_rconpassword"};

const std::string kSaved = "server.cfg saved. Restart the server to apply.";

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override { t.app.serverRoot.set(t.root()); }

    std::string cfg() const { return t.root() + "/server.cfg"; }

    // The ten settings as the page sends them, with `changes` replacing the defaults.
    std::string saveCfgMessage(const std::vector<std::pair<std::string, std::string>>& changes) {
        OrderedJson m = {{"cmd", "saveCfg"}};
        for (const std::string& key : kKeys)
            m[key] = "v_" + key;
        for (const auto& [key, value] : changes)
            m[key] = value;
        return m.dump();
    }

    void toggle(const std::string& name, bool enabled) {
        t.send(OrderedJson{{"cmd", "toggleResource"}, {"name", name}, {"enabled", enabled}}.dump());
    }

    // The last state message among the posted ones; fails the test when there is none.
    Json lastState(const std::vector<Json>& messages) {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if ((*it)["type"] == "state") return *it;
        }
        ADD_FAILURE() << "no state message";
        return Json::object();
    }

    TestApp t;
};

TEST_F(ConfigTest, SaveKeepsEveryOtherLineAndEndsEachWithCrLf) {
    writeText(cfg(),
              "# my server\n"
              "\n"
              "sv_hostname    My Server  \n"
              "sv_map\n"
              "  sv_port\t7777\n"
              "custom_key  keep   this \r\n"
              "sv_port 9999\n"
              "load arena\n"
              "sv_admins \"76561\"");

    // What the page is shown before the save: first line per key, trailing blanks kept,
    // quotes part of the value, a lone word not a setting.
    t.send(R"({"cmd":"refresh"})");
    Json before = lastState(t.take())["cfg"];
    EXPECT_EQ(before["sv_hostname"], "My Server  ");
    EXPECT_EQ(before["sv_map"], "");
    EXPECT_EQ(before["sv_port"], "7777");
    EXPECT_EQ(before["sv_admins"], "\"76561\"");

    t.send(saveCfgMessage({{"sv_hostname", "My Server"},
                           {"sv_map", "Isle V3"},
                           {"sv_port", "7778"},
                           {"sv_httpport", ""},
                           {"sv_admins", "\"76561\""}}));
    EXPECT_EQ(readText(cfg()),
              "# my server\r\n"
              "\r\n"
              "sv_hostname My Server\r\n"
              "sv_map\r\n"
              "sv_port 7778\r\n"
              "custom_key  keep   this \r\n"
              "sv_port 9999\r\n"
              "load arena\r\n"
              "sv_admins \"76561\"\r\n"
              "sv_maxplayers v_sv_maxplayers\r\n"
              "sv_map Isle V3\r\n"
              "sv_httpport \r\n"
              "sv_scriptport v_sv_scriptport\r\n"
              "sv_publicip v_sv_publicip\r\n"
              "sv_gamedir v_sv_gamedir\r\n"
              "sv_rconpassword v_sv_rconpassword\r\n");

    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages)[0], std::make_pair(false, kSaved));
    Json after = messages[1]["cfg"];
    EXPECT_EQ(after["sv_hostname"], "My Server");
    EXPECT_EQ(after["sv_map"], "Isle V3");
    EXPECT_EQ(after["sv_port"], "7778");
    EXPECT_EQ(after["sv_httpport"], "");
    EXPECT_EQ(after["sv_admins"], "\"76561\"");
}

TEST_F(ConfigTest, SaveIntoMissingFileWritesTheTenKeysInOrder) {
    t.send(saveCfgMessage({{"sv_hostname", "Dino \"Park\" / ünï #1"}}));
    std::string expected = "sv_hostname Dino \"Park\" / ünï #1\r\n";
    for (std::size_t i = 1; i < kKeys.size(); ++i)
        expected += kKeys[i] + " v_" + kKeys[i] + "\r\n";
    EXPECT_EQ(readText(cfg()), expected);
    EXPECT_EQ(lastState(t.take())["cfg"]["sv_hostname"], "Dino \"Park\" / ünï #1");
}

TEST_F(ConfigTest, KeysAbsentFromTheMessageAreLeftAlone) {
    writeText(cfg(), "sv_port  1\nsv_hostname  old\n");
    t.send(R"({"cmd":"saveCfg","sv_port":"2"})");
    EXPECT_EQ(readText(cfg()), "sv_port 2\r\nsv_hostname  old\r\n");
}

TEST_F(ConfigTest, ByteOrderMarkInvalidUtf8AndNulBytesSurviveAnEdit) {
    // The mark is not recognised, so it makes the first key a different key.
    writeText(cfg(), "\xEF\xBB\xBFsv_hostname A\ncaf\xE9 x\nsv_map a\0b\n"s);
    t.send(R"({"cmd":"refresh"})");
    Json state = lastState(t.take());
    EXPECT_EQ(state["cfg"]["sv_hostname"], "");
    EXPECT_EQ(state["cfg"]["sv_map"], "a\0b"s);

    toggle("arena", true);
    EXPECT_EQ(readText(cfg()),
              "\xEF\xBB\xBFsv_hostname A\r\ncaf\xEF\xBF\xBD x\r\nsv_map a\0b\r\nload arena\r\n"s);
}

TEST_F(ConfigTest, ValuesWithLineBreaksOrControlCharactersAreRefused) {
    writeText(cfg(), "sv_port 1\n");
    // Raw control bytes inside the JSON string: the readers take them as they are.
    for (std::string bad : {"a\nload evil"s, "a\rb"s, "a\0b"s, "a\x7f"s, "a\x1b[0m"s}) {
        SCOPED_TRACE(bad);
        t.send(R"({"cmd":"saveCfg","sv_port":"2","sv_hostname":")" + bad + "\"}");
        auto messages = t.take();
        ASSERT_EQ(types(messages), std::vector<std::string>{"notice"});
        EXPECT_EQ(notices(messages)[0],
                  std::make_pair(true, std::string("Settings cannot hold line breaks or control "
                                                   "characters.")));
        EXPECT_EQ(readText(cfg()), "sv_port 1\n");
    }
    // A tab cannot break a line, so it may stay part of a value.
    t.send("{\"cmd\":\"saveCfg\",\"sv_port\":\"2\",\"sv_hostname\":\"a\tb\"}");
    EXPECT_EQ(readText(cfg()), "sv_port 2\r\nsv_hostname a\tb\r\n");
    EXPECT_EQ(notices(t.take())[0], std::make_pair(false, kSaved));
}

// Found by a fuzzer posing as the page: a value that begins with an escaped quote and a key's
// name was taken for that key, so sv_map got sv_maxplayers' value.
TEST_F(ConfigTest, AKeysNameInsideAValueIsNotThatKey) {
    t.send(R"({"cmd":"saveCfg","sv_hostname":"\"sv_map","sv_maxplayers":"8","sv_map":"Gateway"})");
    EXPECT_EQ(readText(cfg()), "sv_hostname \"sv_map\r\nsv_maxplayers 8\r\nsv_map Gateway\r\n");
    writeText(cfg(), "sv_map Old\n");
    t.send(R"({"cmd":"saveCfg","sv_hostname":"\"sv_map"})");
    EXPECT_EQ(readText(cfg()), "sv_map Old\r\nsv_hostname \"sv_map\r\n");
}

// Scripts escape control characters the JSON way; decoded, they meet the same check as raw
// ones, and an escaped tab is a tab, not the letter t.
TEST_F(ConfigTest, EscapedControlCharactersAreDecodedBeforeTheCheck) {
    writeText(cfg(), "sv_port 1\n");
    for (std::string bad : {R"(a\u000aload evil)", R"(a\nb)", R"(a\rb)", R"(a\u0000b)"}) {
        SCOPED_TRACE(bad);
        t.send(R"({"cmd":"saveCfg","sv_hostname":")" + bad + "\"}");
        EXPECT_EQ(notices(t.take()),
                  (std::vector<std::pair<bool, std::string>>{
                      {true, "Settings cannot hold line breaks or control characters."}}));
        EXPECT_EQ(readText(cfg()), "sv_port 1\n");
    }
    t.send(R"({"cmd":"saveCfg","sv_hostname":"a\tb \u00fc"})");
    EXPECT_EQ(readText(cfg()), "sv_port 1\r\nsv_hostname a\tb \u00fc\r\n");
}

TEST_F(ConfigTest, WriteFailureIsReportedAndFollowedByState) {
    // A folder in the file's place cannot be replaced by a file.
    fs::create_directory(cfg());
    t.send(saveCfgMessage({}));
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages)[0],
              std::make_pair(true, std::string("Could not write server.cfg.")));
    EXPECT_TRUE(fs::is_directory(cfg()));

    toggle("arena", true);
    messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages)[0],
              std::make_pair(true, std::string("Could not write server.cfg.")));
}

TEST_F(ConfigTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    t.send(saveCfgMessage({}));
    toggle("arena", true);
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_FALSE(exists(cfg()));
}

TEST_F(ConfigTest, EnablingInAMissingFileWritesOnlyTheLoadLine) {
    toggle("myresource", true);
    EXPECT_EQ(readText(cfg()), "load myresource\r\n");
    // No notice: the state message alone answers a switch.
    EXPECT_EQ(types(t.take()), std::vector<std::string>{"state"});
}

TEST_F(ConfigTest, EnablingTwiceKeepsOneLineButRewritesLineEnds) {
    writeText(cfg(), "# c\nload arena\nsv_port 1\n");
    toggle("arena", true);
    EXPECT_EQ(readText(cfg()), "# c\r\nload arena\r\nsv_port 1\r\n");
    toggle("other", true);
    // Appended after everything, not next to the other load line.
    EXPECT_EQ(readText(cfg()), "# c\r\nload arena\r\nsv_port 1\r\nload other\r\n");
}

TEST_F(ConfigTest, DisablingRemovesOnlyTheFirstLoadLine) {
    fs::create_directories(t.root() + "/resources/arena");
    writeText(cfg(), "load arena\nsv_port 1\nload arena\n");
    toggle("arena", false);
    EXPECT_EQ(readText(cfg()), "sv_port 1\r\nload arena\r\n");
    EXPECT_EQ(lastState(t.take())["resources"][0]["enabled"], true);
    toggle("arena", false);
    EXPECT_EQ(readText(cfg()), "sv_port 1\r\n");
    EXPECT_EQ(lastState(t.take())["resources"][0]["enabled"], false);
    toggle("arena", false);
    EXPECT_EQ(readText(cfg()), "sv_port 1\r\n");
}

TEST_F(ConfigTest, CommentedOrPaddedLoadLinesDoNotEnable) {
    fs::create_directories(t.root() + "/resources/skins");
    writeText(cfg(), "# load skins\nload skins \nLoad skins\n");
    t.send(R"({"cmd":"refresh"})");
    EXPECT_EQ(lastState(t.take())["resources"][0]["enabled"], false);
    toggle("skins", true);
    EXPECT_EQ(readText(cfg()), "# load skins\r\nload skins \r\nLoad skins\r\nload skins\r\n");
    EXPECT_EQ(lastState(t.take())["resources"][0]["enabled"], true);
}

TEST_F(ConfigTest, OnlyAnUnspacedLiteralTrueEnables) {
    for (std::string enabled : {R"( true)", R"("true")", "1", "True"}) {
        SCOPED_TRACE(enabled);
        writeText(cfg(), "load a\n");
        t.send(R"({"cmd":"toggleResource","name":"a","enabled":)" + enabled + "}");
        EXPECT_EQ(readText(cfg()), "");
    }
    t.send(R"({"cmd":"toggleResource","name":"a"})");
    EXPECT_EQ(readText(cfg()), "");
}

TEST_F(ConfigTest, SwitchWithoutUsableNameDoesNothing) {
    writeText(cfg(), "load a\n");
    for (std::string m : {R"({"cmd":"toggleResource","enabled":true})"s,
                          R"({"cmd":"toggleResource","name":"","enabled":true})"s,
                          R"({"cmd":"toggleResource","enabled":true,"name":5})"s,
                          "{\"cmd\":\"toggleResource\",\"name\":\"a\nload b\",\"enabled\":true}"s,
                          "{\"cmd\":\"toggleResource\",\"name\":\"a\0\",\"enabled\":false}"s}) {
        SCOPED_TRACE(m);
        t.send(m);
        EXPECT_TRUE(t.takeRaw().empty());
        EXPECT_EQ(readText(cfg()), "load a\n");
    }
}

}  // namespace

}  // namespace server
