// The executable across runs and with what it reaches: the remembered server folder, scripted
// dialogs, documents embedded in the state, the programs it starts and the asset studio.
#include <sys/stat.h>

#include <set>

#include "shell/forgeset_tool_fixture.h"

namespace {

using namespace tool_test;

// --- the server folder between runs --------------------------------------------------------

TEST_F(ForgesetToolTest, RootOptionIsRememberedForLaterRuns) {
    RunResult first = run({"--stdio", "--root", root()}, cmd("init") + "\n");
    EXPECT_EQ(first.exitCode, 0);
    // Exactly the path: no line end, no quoting.
    EXPECT_EQ(readText(rootFile()), root());
    std::vector<json> m = serverMessages(messagesOf(first.out));
    ASSERT_EQ(types(m), std::vector<std::string>{"state"});
    EXPECT_EQ(m[0]["root"], root());
    EXPECT_EQ(m[0]["found"], true);

    RunResult second = run({"--stdio"}, cmd("init") + "\n");
    m = serverMessages(messagesOf(second.out));
    ASSERT_EQ(types(m), std::vector<std::string>{"state"});
    EXPECT_EQ(m[0]["root"], root());
    EXPECT_EQ(m[0]["found"], true);

    // A file edited by hand: the trailing line break is not part of the folder. init reads the
    // file again even when --root gave another folder at start.
    const std::string other = home / "other server";
    writeText(rootFile(), other + "\r\n");
    RunResult third = run({"--stdio"}, cmd("init") + "\n");
    m = serverMessages(messagesOf(third.out));
    ASSERT_EQ(types(m), std::vector<std::string>{"state"});
    EXPECT_EQ(m[0]["root"], other);
    EXPECT_EQ(m[0]["found"], false) << "the folder does not exist";
    EXPECT_EQ(m[0]["resources"], json::array());
}

TEST_F(ForgesetToolTest, WithoutRememberedRootTheStateSaysNoFolder) {
    RunResult r = run({"--stdio"}, cmd("init") + "\n" + R"({"cmd":"newResource","name":"x"})" +
                                       "\n" + cmd("saveCfg") + "\n");
    std::vector<json> m = serverMessages(messagesOf(r.out));
    // Commands that need a folder do nothing at all without one.
    ASSERT_EQ(types(m), std::vector<std::string>{"state"});
    EXPECT_EQ(m[0]["root"], "");
    EXPECT_EQ(m[0]["found"], false);
    EXPECT_EQ(m[0]["cfg"]["sv_hostname"], "");
    EXPECT_EQ(m[0]["skins"], nullptr);
}

// --- scripted dialogs ----------------------------------------------------------------------

TEST_F(ForgesetToolTest, PickFolderTakesTheScriptedAnswersInTurn) {
    const std::string chosen = home / "chosen";
    writeText(chosen + "/server.cfg", "sv_hostname Chosen\n");
    const std::string script = home / "answers.txt";
    // A new folder, the same folder again, a cancel; then the script runs out (cancel too).
    writeText(script, chosen + "\r\n" + chosen + "\n\n");

    const std::string input = cmd("pickFolder") + "\n" + cmd("init") + "\n" + cmd("pickFolder") +
                              "\n" + cmd("pickFolder") + "\n" + cmd("pickFolder") + "\n";
    RunResult r = run({"--stdio", "--root", root(), "--dialogs", script}, input);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<json> m = serverMessages(messagesOf(r.out));
    // The changed folder sends nothing (a page would reload and send init); the same folder
    // and each cancel answer with the state.
    ASSERT_EQ(types(m), std::vector<std::string>(4, "state")) << r.err;
    for (const json& state : m) {
        EXPECT_EQ(state["root"], chosen);
        EXPECT_EQ(state["cfg"]["sv_hostname"], "Chosen");
    }
    EXPECT_EQ(readText(rootFile()), chosen);
}

TEST_F(ForgesetToolTest, PickFolderComparesPathsWithLetterCase) {
    fs::create_directories(home / "Server");
    const std::string script = home / "answers.txt";
    writeText(script, home / "Server" + "\n");
    RunResult r = run({"--stdio", "--root", root(), "--dialogs", script},
                      cmd("pickFolder") + "\n" + cmd("refresh") + "\n");
    std::vector<json> m = messagesOf(r.out);
    ASSERT_EQ(types(m), std::vector<std::string>{"state"}) << "a change sends no state";
    EXPECT_EQ(m[0]["root"], home / "Server");
    EXPECT_EQ(readText(rootFile()), home / "Server");
}

// --- documents embedded in the state -------------------------------------------------------

TEST_F(ForgesetToolTest, PrettyPrintedDocumentsStillTravelAsOneLine) {
    const std::string skins =
        "[\r\n  {\r\n    \"name\": \"neon \\\"rex\\\"\",\r\n    \"note\": \"grün – 恐竜\",\r\n"
        "    \"body\": [0.0, 4.0, 4.0]\r\n  },\n\t{\"name\": \"albino\", \"admin\": true}\n]\r\n";
    const std::string brains = "{\n  \"version\": 1,\r\n  \"brains\": {\"a\": \"b\\\\c\"}\n}\n";
    writeText(root() + "/resources/skins/skins.json", skins);
    writeText(root() + "/resources/skins/skins.lua", "Skins = {}\n");
    writeText(root() + "/data/ai/brains.json", brains);
    writeText(root() + "/resources/skins/textures/a.png", "png");
    writeText(root() + "/resources/skins/textures/B.PNG", "png");
    writeText(root() + "/resources/skins/textures/c.txt", "txt");
    fs::create_directories(root() + "/resources/skins/textures/folder.png");

    RunResult r = run({"--stdio", "--root", root()}, cmd("refresh") + "\n" + cmd("refresh") + "\n");
    std::vector<json> m = messagesOf(r.out);
    ASSERT_EQ(types(m), (std::vector<std::string>{"state", "state"}));
    EXPECT_EQ(m[0]["skins"], json::parse(skins));
    EXPECT_EQ(m[0]["skinsLua"], true);
    EXPECT_EQ(m[0]["ai"]["brains"], brains) << "the AI text comes back byte for byte";
    EXPECT_EQ(m[0]["ai"]["spawns"], "");
    std::set<std::string> textures(m[0]["textures"].begin(), m[0]["textures"].end());
    EXPECT_EQ(textures, (std::set<std::string>{"a.png", "B.PNG"}));
    EXPECT_EQ(m[1], m[0]);
}

TEST_F(ForgesetToolTest, BrokenSkinsDocumentCannotBreakTheMessage) {
    // A raw line break inside a string and a missing bracket: not JSON at all.
    const std::string skins = "[{\"name\": \"two\nlines\"}, {\"name\": \"open\"\r\n";
    writeText(root() + "/resources/skins/skins.json", skins);
    RunResult r = run({"--stdio", "--root", root()}, cmd("refresh") + "\n");
    std::vector<json> m = messagesOf(r.out);
    ASSERT_EQ(types(m), std::vector<std::string>{"state"});
    // The page gets the text unchanged, to report it, rather than a state it cannot read.
    EXPECT_EQ(m[0]["skins"], skins);
}

// --- programs the tool starts --------------------------------------------------------------

// Programs started for `open` and `startRunner` inherit the tool's streams; what they print
// must not end up among the messages.
TEST_F(ForgesetToolTest, StartedProgramsNeverWriteOnTheMessageChannel) {
    const std::string bin = home / "bin";
    writeText(bin + "/xdg-open", "#!/bin/sh\necho \"opener stdout $1\"\necho opener-stderr >&2\n");
    ::chmod((bin + "/xdg-open").c_str(), 0755);
    writeText(root() + "/VarraForgesetServer.exe", "#!/bin/sh\necho \"runner stdout $(pwd)\"\n");
    ::chmod((root() + "/VarraForgesetServer.exe").c_str(), 0755);
    extraPath = bin;

    RunResult r =
        run({"--stdio", "--root", root()}, R"({"cmd":"open","what":"resources"})"
                                           "\n" +
                                               cmd("startRunner") + "\n" + cmd("refresh") + "\n");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<json> m = messagesOf(r.out);
    ASSERT_EQ(types(m), (std::vector<std::string>{"notice", "state"})) << r.out;
    expectNotice(m[0], false, "Server runner started in its own window.");
    EXPECT_EQ(m[1]["runner"], true);
    // Both programs really ran; their output went to standard error.
    EXPECT_NE(r.err.find("opener stdout " + root() + "/resources"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("opener-stderr"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("runner stdout " + root()), std::string::npos) << r.err;
}

}  // namespace

// --- asset studio -------------------------------------------------------------------------

TEST_F(ForgesetToolTest, StudioCommandsRunTheHelperBesideTheToolAndAnswerBeforeExit) {
    fs::create_directories(home / "program/tools");
    program = home / "program/forgeset-server-tool";
    fs::copy_file(FORGESET_TOOL_PATH, program);
    fs::create_symlink(FORGESET_FAKE_ASSETS_PATH, home / "program/tools/forgeset-assets");

    // The input ends right after the extraction of a listed species is asked for: the answers
    // still come.
    RunResult result = run({"--stdio", "--root", root()},
                           cmd("studioRefresh") + "\n" + cmd("studioSpecies") + "\n" +
                               R"({"cmd":"studioExtract","species":"Triceratops"})" + "\n");
    EXPECT_EQ(result.exitCode, 0);
    auto messages = messagesOf(result.out);
    ASSERT_EQ(messages.size(), 5u) << result.out;
    EXPECT_EQ(messages[0]["type"], "studio");
    EXPECT_EQ(messages[0]["helper"], true);
    EXPECT_EQ(messages[0]["species"], json::array());
    EXPECT_EQ(messages[1]["type"], "studio");
    EXPECT_EQ(messages[1]["species"][0], "Tyrannosaurus");
    expectNotice(messages[2], false, "Extracting Triceratops from the game files...");
    expectNotice(messages[3], false, "Triceratops extracted.");
    EXPECT_EQ(messages[4]["extracted"], json::array({"Triceratops"}));
    EXPECT_TRUE(fs::exists(home / "xdg/VarraForgeset/assets/Triceratops/mesh.glb"));
}

TEST_F(ForgesetToolTest, WithoutAHelperTheStudioSaysSo) {
    // The build puts the real helper beside the built tool, so a copy stands alone here.
    fs::create_directories(home / "program");
    program = home / "program/forgeset-server-tool";
    fs::copy_file(FORGESET_TOOL_PATH, program);
    RunResult result =
        run({"--stdio", "--root", root()}, cmd("init") + "\n" + cmd("studioSpecies") + "\n");
    auto messages = messagesOf(result.out);
    ASSERT_EQ(messages.size(), 4u) << result.out;
    EXPECT_EQ(messages[1]["type"], "studio");
    EXPECT_EQ(messages[1]["helper"], false);
    EXPECT_EQ(messages[2]["type"], "species");
    EXPECT_EQ(messages[2]["helper"], false);
    expectNotice(messages[3], true, "forgeset-assets.exe not found next to the tool.");
}
