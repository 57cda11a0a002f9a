#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::string_literals;
using Notices = std::vector<std::pair<bool, std::string>>;

const std::string kSaved = "Saved. A running server picks it up within a few seconds.";

class AiTest : public ::testing::Test {
  protected:
    void SetUp() override { t.app.serverRoot.set(t.root()); }

    void saveAi(const std::string& file, const std::string& text) {
        t.send(
            nlohmann::ordered_json{{"cmd", "saveAi"}, {"file", file}, {"data", base64Encode(text)}}
                .dump());
    }

    std::string ai(const std::string& name) const { return t.root() + "/data/ai/" + name; }

    TestApp t;
};

TEST_F(AiTest, SavingCreatesTheFolderAndLeavesNoTemporaryFile) {
    const std::string spawns = "{\n  \"version\": 1,\n  \"wild\": {\"Rex\": \"hunter\"}\n}\n";
    saveAi("spawns", spawns);
    EXPECT_EQ(readText(ai("spawns.json")), spawns);
    EXPECT_FALSE(exists(ai("spawns.json.tmp")));
    auto messages = t.take();
    ASSERT_EQ(types(messages), (std::vector<std::string>{"notice", "state"}));
    EXPECT_EQ(notices(messages), (Notices{{false, kSaved}}));
    EXPECT_EQ(messages[1]["ai"]["spawns"], spawns);
    EXPECT_EQ(messages[1]["ai"]["brains"], "");

    // Each file is saved alone: brains leaves spawns as it was.
    saveAi("brains", "{\"version\":1}");
    EXPECT_EQ(readText(ai("brains.json")), "{\"version\":1}");
    EXPECT_EQ(readText(ai("spawns.json")), spawns);
    EXPECT_EQ(t.take()[1]["ai"]["brains"], "{\"version\":1}");
}

TEST_F(AiTest, OnlyExactFileNamesWithDataAreSaved) {
    for (std::string m :
         {R"({"cmd":"saveAi","file":"Brains","data":"eA=="})"s,
          R"({"cmd":"saveAi","file":"../brains","data":"eA=="})"s,
          R"({"cmd":"saveAi","file":"brains ","data":"eA=="})"s,
          R"({"cmd":"saveAi","data":"eA=="})"s, R"({"cmd":"saveAi","file":"brains"})"s,
          R"({"cmd":"saveAi","file":"spawns","data":""})"s}) {
        SCOPED_TRACE(m);
        t.send(m);
        auto messages = t.take();
        EXPECT_EQ(types(messages), std::vector<std::string>{"notice"});
        EXPECT_EQ(notices(messages), (Notices{{true, "Nothing to save."}}));
    }
    EXPECT_TRUE(fs::is_empty(t.root()));
}

TEST_F(AiTest, FailedTemporaryWriteKeepsTheOldFile) {
    writeText(ai("brains.json"), "old");
    fs::create_directories(ai("brains.json.tmp"));
    saveAi("brains", "new");
    auto messages = t.take();
    EXPECT_EQ(types(messages), std::vector<std::string>{"notice"});
    EXPECT_EQ(notices(messages), (Notices{{true, "Could not write brains.json."}}));
    EXPECT_EQ(readText(ai("brains.json")), "old");
}

TEST_F(AiTest, TargetThatCannotBeReplacedLeavesTheTemporaryFile) {
    fs::create_directories(ai("spawns.json"));
    saveAi("spawns", "new");
    EXPECT_EQ(notices(t.take()), (Notices{{true, "Could not write spawns.json."}}));
    EXPECT_EQ(readText(ai("spawns.json.tmp")), "new");

    // The next save overwrites the leftover.
    fs::remove(ai("spawns.json"));
    saveAi("spawns", "newer");
    EXPECT_EQ(readText(ai("spawns.json")), "newer");
    EXPECT_FALSE(exists(ai("spawns.json.tmp")));
}

TEST_F(AiTest, NothingHappensWithoutAServerRoot) {
    t.app.serverRoot.set("");
    saveAi("brains", "x");
    saveAi("Brains", "");
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_TRUE(fs::is_empty(t.root()));
}

}  // namespace

}  // namespace server
