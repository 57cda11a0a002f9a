#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/environment.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::string_literals;
using Notices = std::vector<std::pair<bool, std::string>>;

// Every path under a folder, relative to it.
std::set<std::string> tree(const std::string& folder) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(fs::relative(entry.path(), folder).generic_string());
    return paths;
}

// Messages from a page that misbehaves, or from a script that is not the page at all.
class HostileTest : public ::testing::Test {
  protected:
    void SetUp() override { t.app.serverRoot.set(t.root()); }

    // Paths outside the server folder, where no command may create anything.
    std::set<std::string> outsideRoot() {
        std::set<std::string> outside;
        for (const std::string& path : tree(t.home.path())) {
            if (path != "server" && !path.starts_with("server/") && path != "opened.log")
                outside.insert(path);
        }
        return outside;
    }

    TestApp t;

  private:
    // open must never reach a real desktop opener from a test.
    ScopedEnv path_{"PATH", pathWithFirst(FORGESET_FAKES_DIR)};
    ScopedEnv openLog_{"FAKE_XDG_OPEN_LOG", t.home / "opened.log"};
};

TEST_F(HostileTest, MessagesThatNameNoCommandAreIgnored) {
    writeText(t.root() + "/server.cfg", "load a\n");
    for (std::string m :
         {""s, "null"s, "[]"s, "42"s, "{}"s, R"({"cmd":""})"s, R"({"cmd":"Refresh"})"s,
          R"({"cmd":" refresh"})"s, R"({"cmd":"refresh\u0000"})"s, "{\"cmd\":\"refresh\0\"}"s,
          "{\"cmd\":\"refresh\xFF\"}"s, R"({"cmd":refresh})"s, R"({"cmd":"jsError","detail":"x"})"s,
          // A JSON string, as the page's error hook posts: its quotes are escaped.
          R"("{\"cmd\":\"refresh\"}")"s, R"({"CMD":"refresh"})"s, R"({"cmd")"s}) {
        SCOPED_TRACE(m);
        t.send(m);
        EXPECT_TRUE(t.takeRaw().empty());
    }
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "load a\n");
    EXPECT_TRUE(t.window.calls.empty());
}

TEST_F(HostileTest, TheFirstCmdInTheTextDecides) {
    t.send(R"({"cmd":"refresh","x":1})");
    EXPECT_EQ(types(t.take()), std::vector<std::string>{"state"});
    // The first "cmd" is a value here; the next colon and quoted text make it "refresh".
    t.send(R"({"x":"cmd","y":"refresh","cmd":"startRunner"})");
    EXPECT_EQ(types(t.take()), std::vector<std::string>{"state"});
    t.send(R"({"cmd" : "winMin"})");
    EXPECT_EQ(t.window.calls, std::vector<std::string>{"minimize"});
}

TEST_F(HostileTest, MissingFieldsGiveTheCommandsOwnAnswers) {
    struct Case {
        std::string message;
        std::vector<std::string> types;
        Notices notices;
    };
    const std::vector<Case> cases = {
        {R"({"cmd":"refresh"})", {"state"}, {}},
        {R"({"cmd":"pickFolder"})", {"state"}, {}},
        {R"({"cmd":"toggleResource"})", {}, {}},
        {R"({"cmd":"newResource"})",
         {"notice"},
         {{true, "Resource names use letters, digits, _ and -."}}},
        {R"({"cmd":"saveSkins"})", {"notice"}, {{true, "Nothing to save."}}},
        {R"({"cmd":"studioSaveTexture"})",
         {"notice"},
         {{true, "Texture name: letters, digits, _ and -."}}},
        {R"({"cmd":"saveAi"})", {"notice"}, {{true, "Nothing to save."}}},
        {R"({"cmd":"startRunner"})",
         {"notice"},
         {{true, "VarraForgesetServer.exe not found in the server folder."}}},
        {R"({"cmd":"open"})", {}, {}},
        // No settings named: the file is rewritten as it is.
        {R"({"cmd":"saveCfg"})",
         {"notice", "state"},
         {{false, "server.cfg saved. Restart the server to apply."}}},
    };
    writeText(t.appData() + "/server-root.txt", t.root());
    const auto before = outsideRoot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        t.send(c.message);
        auto messages = t.take();
        EXPECT_EQ(types(messages), c.types);
        EXPECT_EQ(notices(messages), c.notices);
    }
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "");
    EXPECT_EQ(outsideRoot(), before);
}

TEST_F(HostileTest, FieldsOfTheWrongTypeAreReadAsTheReadersDo) {
    // A non-string value yields the next quoted text after it, or nothing at the end.
    t.send(R"({"cmd":"newResource","name":5})");
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Resource names use letters, digits, _ and -."}}));
    t.send(R"({"cmd":"newResource","name":["arena"]})");
    EXPECT_TRUE(fs::is_directory(t.root() + "/resources/arena"));
    t.take();
    t.send(R"({"cmd":"toggleResource","name":{"enabled":true},"enabled":false})");
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "load arena\r\nload enabled\r\n");
    t.send(R"({"cmd":"saveAi","file":true,"data":"eA=="})");
    t.send(R"({"cmd":"saveCfg","sv_port":7777})");
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "load arena\r\nload enabled\r\nsv_port \r\n");
    auto messages = t.take();
    EXPECT_EQ(types(messages), (std::vector<std::string>{"state", "notice", "notice", "state"}));
    EXPECT_EQ(notices(messages)[0], std::make_pair(true, "Nothing to save."s));
}

TEST_F(HostileTest, PathLikeNamesNeverReachOutsideTheServerFolder) {
    const std::vector<std::string> names = {"..",
                                            "../..",
                                            "../evil",
                                            "../../evil",
                                            "/tmp/evil",
                                            "a/../../evil",
                                            "..\\\\evil",
                                            "evil\x01",
                                            "\xC0\xAE\xC0\xAE/evil",
                                            "\xEF\xBC\x8F"
                                            "evil"};
    const auto before = outsideRoot();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        t.send(R"({"cmd":"newResource","name":")" + name + "\"}");
        t.send(R"({"cmd":"studioSaveTexture","png":")" + base64Encode(std::string(120, 'p')) +
               R"(","name":")" + name + "\"}");
        t.send(R"({"cmd":"toggleResource","enabled":true,"name":")" + name + "\"}");
        t.send(R"({"cmd":"saveAi","data":"eA==","file":")" + name + "\"}");
        t.send(R"({"cmd":"open","what":")" + name + "\"}");
        for (const auto& [error, text] : notices(t.take())) {
            EXPECT_TRUE(error) << text;
        }
    }
    EXPECT_EQ(outsideRoot(), before);
    // Nothing but server.cfg and the load lines came of it: no folder was made.
    EXPECT_FALSE(exists(t.root() + "/resources"));
    EXPECT_FALSE(exists(t.root() + "/data"));
}

TEST_F(HostileTest, RawNulControlAndIllFormedBytesInFields) {
    t.send("{\"cmd\":\"newResource\",\"name\":\"ar\0ena\"}"s);
    t.send("{\"cmd\":\"newResource\",\"name\":\"arena\xFF\"}"s);
    t.send("{\"cmd\":\"newResource\",\"name\":\"are\nna\"}"s);
    t.send("{\"cmd\":\"studioSaveTexture\",\"name\":\"a\x01\",\"png\":\"\"}"s);
    auto messages = t.take();
    EXPECT_EQ(notices(messages), (Notices{{true, "Resource names use letters, digits, _ and -."},
                                          {true, "Resource names use letters, digits, _ and -."},
                                          {true, "Resource names use letters, digits, _ and -."},
                                          {true, "Texture name: letters, digits, _ and -."}}));
    // Ill-formed bytes in a setting are stored as U+FFFD, never as the raw bytes.
    t.send("{\"cmd\":\"saveCfg\",\"sv_hostname\":\"caf\xE9\xFF\"}"s);
    EXPECT_EQ(readText(t.root() + "/server.cfg"), "sv_hostname caf\xEF\xBF\xBD\xEF\xBF\xBD\r\n");
    messages = t.take();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1]["cfg"]["sv_hostname"], "caf\xEF\xBF\xBD\xEF\xBF\xBD");
    // Ill-formed base64 decodes to fewer bytes, still stored as sent.
    t.send(R"({"cmd":"saveAi","file":"brains","data":"-_e A==!"})");
    EXPECT_EQ(readText(t.root() + "/data/ai/brains.json"), "x");
    EXPECT_EQ(types(t.take()), (std::vector<std::string>{"notice", "state"}));
}

TEST_F(HostileTest, TwentyMegabyteMessagesAreHandled) {
    const std::string padding(20 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    t.send(R"({"cmd":"refresh","pad":")" + padding + "\"}");
    EXPECT_EQ(types(t.take()), std::vector<std::string>{"state"});

    // A 15 MB AI file travels in and comes back escaped in the state message.
    std::string data(15 << 20, '"');
    t.send(R"({"cmd":"saveAi","file":"spawns","data":")" + base64Encode(data) + "\"}");
    EXPECT_EQ(fs::file_size(t.root() + "/data/ai/spawns.json"), data.size());
    auto messages = t.take();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1]["ai"]["spawns"], data);

    t.send(R"({"cmd":"saveCfg","sv_hostname":")" + padding + "\"}");
    EXPECT_EQ(fs::file_size(t.root() + "/server.cfg"), padding.size() + 14);
    EXPECT_EQ(t.take().size(), 2u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace

}  // namespace server
