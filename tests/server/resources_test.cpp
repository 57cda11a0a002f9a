#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/templates.h"
#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::string_literals;

const std::string kBadName = "Resource names use letters, digits, _ and -.";

std::string named(std::string_view text, const std::string& name) {
    std::string out(text);
    for (std::size_t at; (at = out.find("%NAME%")) != std::string::npos;)
        out.replace(at, 6, name);
    return out;
}

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

class ResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override { t.app.serverRoot.set(t.root()); }

    void create(const std::string& name) {
        t.send(nlohmann::ordered_json{{"cmd", "newResource"}, {"name", name}}.dump());
    }

    std::string in(const std::string& tail) const { return t.root() + "/" + tail; }

    TestApp t;
};

TEST_F(ResourcesTest, OrdinaryResourceGetsItsFilesAndALoadLine) {
    writeText(in("server.cfg"), "sv_port 1\nload other\n# end");
    create("my-res_2");
    const std::string folder = in("resources/my-res_2");
    EXPECT_EQ(readText(folder + "/manifest.lua"), named(templates::ordinaryManifest, "my-res_2"));
    EXPECT_TRUE(readText(folder + "/manifest.lua").starts_with("name \"my-res_2\"\r\n"));
    EXPECT_EQ(readText(folder + "/server.lua"), templates::ordinaryServer);
    EXPECT_NE(readText(folder + "/client.lua").find("\r\n  print(\"my-res_2 client loaded\")\r\n"),
              std::string::npos);
    EXPECT_EQ(readText(folder + "/ui/index.html"),
              "<!doctype html><meta charset=\"utf-8\"><title>my-res_2</title>\r\n");
    EXPECT_EQ(readText(in("server.cfg")), "sv_port 1\r\nload other\r\n# end\r\nload my-res_2\r\n");

    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages)[0],
              std::make_pair(false, "Resource my-res_2 created and enabled."s));
    EXPECT_EQ(messages[1]["resources"][0], Json::parse(R"({"name":"my-res_2","enabled":true,)"
                                                       R"("manifest":true,"server":true,)"
                                                       R"("client":true})"));
}

TEST_F(ResourcesTest, NameRuleCountsCharactersAndAcceptsLettersOfAnyScript) {
    for (const std::string& name :
         {repeat("a", 40), repeat("é", 40), "Skins"s, "Ärger_9-x"s, "日本"s}) {
        SCOPED_TRACE(name);
        create(name);
        EXPECT_TRUE(fs::is_regular_file(utf8Path(in("resources/" + name + "/manifest.lua"))));
        EXPECT_EQ(notices(t.take()), (std::vector<std::pair<bool, std::string>>{
                                         {false, "Resource " + name + " created and enabled."}}));
    }
    EXPECT_FALSE(exists(in("resources/Skins/skins.lua")));  // only "skins" is special
}

// Python's json.dumps escapes every non-ASCII letter; the folder must still be named 日本.
TEST_F(ResourcesTest, EscapedLettersNameTheFolderAsTheyRead) {
    t.send(R"({"cmd":"newResource","name":"\u65e5\u672c"})");
    EXPECT_TRUE(fs::is_regular_file(utf8Path(in("resources/日本/manifest.lua"))));
    EXPECT_FALSE(exists(in("resources/u65e5u672c")));
    // A decoded control character meets the name rule like a raw one.
    t.send(R"({"cmd":"newResource","name":"a\u0009b"})");
    auto messages = t.take();
    EXPECT_EQ(notices(messages).back(), std::make_pair(true, kBadName));
}

TEST_F(ResourcesTest, BadNamesAreRefusedBeforeAnythingIsWritten) {
    for (const std::string& name :
         {""s, repeat("a", 41), repeat("é", 41), " "s, "a b"s, "a.b"s, "."s, ".."s, "a/b"s, "../x"s,
          "a\\b"s, "/abs"s, "a+b"s, "a\u00A0b"s}) {
        SCOPED_TRACE(name);
        create(name);
        auto messages = t.take();
        ASSERT_EQ(types(messages), std::vector<std::string>{"notice"});
        EXPECT_EQ(notices(messages)[0], std::make_pair(true, kBadName));
    }
    EXPECT_TRUE(fs::is_empty(t.root()));
}

// Windows can open no folder named con or a texture named COM1.png; the folder moves there.
TEST_F(ResourcesTest, DeviceNamesOfWindowsAreRefusedWithTheNameNotice) {
    for (const std::string& name : {"con"s, "AUX"s, "Nul"s, "COM1"s, "lpt9"s}) {
        SCOPED_TRACE(name);
        create(name);
        EXPECT_EQ(notices(t.take()), (std::vector<std::pair<bool, std::string>>{{true, kBadName}}));
        t.send(nlohmann::ordered_json{{"cmd", "studioSaveTexture"},
                                      {"name", name},
                                      {"png", base64Encode(std::string(120, 'p'))}}
                   .dump());
        EXPECT_EQ(notices(t.take()), (std::vector<std::pair<bool, std::string>>{
                                         {true, "Texture name: letters, digits, _ and -."}}));
    }
    EXPECT_TRUE(fs::is_empty(t.root()));
}

TEST_F(ResourcesTest, ExistingFolderIsRefusedAndKnownLoadLineIsNotDoubled) {
    fs::create_directories(in("resources/arena"));
    create("arena");
    auto messages = t.take();
    ASSERT_EQ(types(messages), std::vector<std::string>{"notice"});
    EXPECT_EQ(notices(messages)[0], std::make_pair(true, "That resource already exists."s));
    EXPECT_TRUE(fs::is_empty(in("resources/arena")));

    // A folder deleted by hand keeps its load line; creating it again must not add another.
    fs::remove(in("resources/arena"));
    writeText(in("server.cfg"), "load arena\n");
    create("arena");
    EXPECT_EQ(readText(in("server.cfg")), "load arena\r\n");
    EXPECT_EQ(notices(t.take())[0], std::make_pair(false, "Resource arena created and enabled."s));
}

TEST_F(ResourcesTest, SkinsResourceComesFromItsOwnTemplates) {
    create("skins");
    const std::string folder = in("resources/skins");
    EXPECT_EQ(readText(folder + "/manifest.lua"), templates::skinsManifest);
    EXPECT_EQ(readText(folder + "/server.lua"), templates::skinsServer);
    EXPECT_EQ(readText(folder + "/client.lua"), templates::skinsClient);
    EXPECT_EQ(readText(folder + "/skins.lua"), templates::defaultSkinList);
    EXPECT_TRUE(fs::is_directory(folder + "/textures"));
    EXPECT_TRUE(fs::is_empty(folder + "/textures"));
    EXPECT_FALSE(exists(folder + "/ui"));
    EXPECT_EQ(readText(in("server.cfg")), "load skins\r\n");
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages)[0], std::make_pair(false, "Resource skins created and enabled."s));
    EXPECT_EQ(messages[1]["skinsLua"], true);

    create("skins");
    EXPECT_EQ(notices(t.take())[0], std::make_pair(true, "That resource already exists."s));
}

TEST_F(ResourcesTest, UnwritableFilesAreReportedAndNotEnabled) {
    // A plain file in the folder's place does not count as an existing resource, but no
    // file can be created inside it.
    writeText(in("resources/arena"), "in the way");
    writeText(in("resources/skins"), "in the way");
    for (const std::string name : {"arena", "skins"}) {
        SCOPED_TRACE(name);
        create(name);
        auto messages = t.take();
        ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
        EXPECT_EQ(notices(messages)[0],
                  std::make_pair(true, "Could not write the files of resource " + name + "."));
        EXPECT_EQ(readText(in("resources/" + name)), "in the way");
    }
    EXPECT_FALSE(exists(in("server.cfg")));
}

TEST_F(ResourcesTest, UnwritableServerCfgIsReportedAfterTheFilesAreMade) {
    fs::create_directories(in("server.cfg"));
    create("arena");
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(
        notices(messages)[0],
        std::make_pair(true, "Resource arena created, but server.cfg could not be written."s));
    EXPECT_TRUE(fs::is_regular_file(in("resources/arena/manifest.lua")));
}

TEST_F(ResourcesTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    create("arena");
    create("bad name");
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_TRUE(fs::is_empty(t.root()));
}

}  // namespace

}  // namespace server
