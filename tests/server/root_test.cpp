#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_app.h"

namespace server {

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class RootTest : public ::testing::Test {
  protected:
    std::string rootFile() const { return t.appData() + "/server-root.txt"; }

    // Sends init and returns the root its state message reports.
    std::string initRoot() {
        t.send(R"({"cmd":"init"})");
        auto messages = t.take();
        EXPECT_FALSE(messages.empty());
        if (messages.empty()) return "<none>";
        EXPECT_EQ(messages[0]["type"], "state");
        EXPECT_TRUE(notices(messages).empty());
        EXPECT_EQ(messages[0]["root"], t.app.serverRoot.path());
        return t.app.serverRoot.path();
    }

    void pick(const std::string& answer) {
        t.dialogs = platform::ScriptedDialogs({answer});
        t.send(R"({"cmd":"pickFolder"})");
    }

    TestApp t;
};

TEST_F(RootTest, InitDropsTrailingLineBreaksAndBlanksButKeepsTabs) {
    writeText(rootFile(), t.root() + "\r\n \r\n");
    EXPECT_EQ(initRoot(), t.root());

    writeText(rootFile(), " " + t.root() + "\t\n");
    EXPECT_EQ(initRoot(), " " + t.root() + "\t");

    // Windows allows no control character in a name, so there the folder cannot exist.
    std::error_code refused;
    fs::create_directories(t.root() + "\t", refused);
    if (refused) return;
    writeText(rootFile(), t.root() + "\t");
    t.send(R"({"cmd":"init"})");
    EXPECT_EQ(t.take()[0]["found"], true);
}

TEST_F(RootTest, InitWithoutTheFileForgetsTheRootInMemory) {
    t.app.serverRoot.set(t.root());
    EXPECT_EQ(initRoot(), "");
    // Ill-formed bytes in a hand-edited file still load as valid text.
    writeText(rootFile(), "/srv/caf\xE9\n");
    EXPECT_EQ(initRoot(), "/srv/caf\xEF\xBF\xBD");
}

TEST_F(RootTest, CancelLeavesEverythingAndAnswersWithState) {
    t.app.serverRoot.set(t.root());
    pick("");
    auto messages = t.take();
    ASSERT_EQ(types(messages), std::vector<std::string>{"state"});
    EXPECT_EQ(messages[0]["root"], t.root());
    EXPECT_EQ(t.app.serverRoot.path(), t.root());
    EXPECT_TRUE(t.window.calls.empty());
    EXPECT_FALSE(exists(rootFile()));
}

TEST_F(RootTest, SameFolderRewritesTheFileAndDoesNotReload) {
    t.app.serverRoot.set(t.root());
    writeText(rootFile(), "/somewhere/else\r\n");
    pick(t.root());
    auto messages = t.take();
    ASSERT_EQ(types(messages), std::vector<std::string>{"state"});
    EXPECT_EQ(messages[0]["found"], true);
    EXPECT_TRUE(t.window.calls.empty());
    EXPECT_EQ(readText(rootFile()), t.root());
}

TEST_F(RootTest, ChangedFolderIsStoredAsPlainUtf8AndReloadsThePage) {
    const std::string chosen = t.home / "Sérveur Ünï";
    fs::create_directories(chosen);
    pick(chosen);
    // The reloaded page asks for everything with init; nothing is sent now.
    EXPECT_TRUE(t.takeRaw().empty());
    EXPECT_EQ(t.window.calls, std::vector<std::string>{"reload"});
    EXPECT_EQ(t.app.serverRoot.path(), chosen);
    EXPECT_EQ(readText(rootFile()), chosen);
    EXPECT_EQ(initRoot(), chosen);
}

TEST_F(RootTest, LetterCaseAloneCountsAsAChange) {
    t.app.serverRoot.set(t.home / "Server");
    pick(t.home / "server");
    EXPECT_EQ(t.window.calls, std::vector<std::string>{"reload"});
    EXPECT_EQ(readText(rootFile()), t.home / "server");
}

}  // namespace

}  // namespace server
