#include "runner_commands_fixture.h"

namespace server {

namespace {

namespace fs = std::filesystem;

TEST_F(RunnerCommandsTest, EachTargetOpensItsFolderAndSendsNothing) {
    t.app.serverRoot.set(t.root());
    const std::string r = t.root();
    // As in a real server folder: Windows opens only what exists.
    fs::create_directories(r + "/resources/skins");
    fs::create_directories(r + "/client-mods");
    std::vector<std::string> sent;
    for (std::string what : {"root", "resources", "skins", "mods", "Resources", "server-mods"})
        sent.push_back(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    sent.push_back(R"({"cmd":"open"})");
    std::vector<std::string> expected = {
        r, r + "/resources", r + "/resources/skins", r + "/client-mods", r, r, r};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(openedBy(sent, expected.size()), expected);
    EXPECT_TRUE(t.takeRaw().empty());
}

TEST_F(RunnerCommandsTest, GuideOpensFromBesideTheProgram) {
    open("docs");
    auto lines = waitForLines(openLog(), 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(lines[0])) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("/docs/server-owner-guide.md"));
    EXPECT_TRUE(t.takeRaw().empty());
}

TEST_F(RunnerCommandsTest, WithoutAServerRootOnlyTheGuideOpens) {
    std::vector<std::string> sent;
    for (std::string what : {"root", "resources", "skins", "mods"})
        sent.push_back(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    EXPECT_TRUE(openedBy(sent, 0).empty());
    EXPECT_TRUE(t.takeRaw().empty());
}

}  // namespace

}  // namespace server
