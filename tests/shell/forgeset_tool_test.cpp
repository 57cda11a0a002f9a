// The executable as a script sees it: a real child process with pipes on all three standard
// streams, its own app data folder, and nothing shared with the test process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

// Each test gets a private home: the app data folder lives under it, and the server folder
// used by most tests.
class ForgesetToolTest : public ::testing::Test {
  protected:
    ForgesetToolTest() { fs::create_directories(root()); }

    std::string root() const { return home / "server"; }
    std::string rootFile() const { return home / "xdg/VarraForgeset/server-root.txt"; }

    std::map<std::string, std::string> environment() const {
        std::map<std::string, std::string> env{{"XDG_DATA_HOME", home / "xdg"},
                                               {"HOME", home / "home"}};
        if (!extraPath.empty()) env["PATH"] = extraPath + ":" + std::string(std::getenv("PATH"));
        return env;
    }

    RunResult run(const std::vector<std::string>& args, const std::string& input = {}) {
        ChildProcess tool({program, args, environment()});
        tool.write(input);
        RunResult result;
        result.exitCode = tool.wait();
        EXPECT_FALSE(tool.timedOut) << "the tool did not end; stderr: " << tool.err;
        result.out = tool.out;
        result.err = tool.err;
        return result;
    }

    TempDir home;
    std::string extraPath;
    // The tool looks for its asset helper beside itself; tests that need one run a copy.
    std::string program = FORGESET_TOOL_PATH;
};

// Standard output split into messages. Every line must be one complete JSON object whose first
// member is `type`, and the output must end with a line end: anything else on standard output
// would break a script reading it.
std::vector<json> messagesOf(const std::string& out) {
    std::vector<json> messages;
    if (out.empty()) return messages;
    EXPECT_EQ(out.back(), '\n') << "the last message is not ended by a line feed";
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t feed = out.find('\n', start);
        if (feed == std::string::npos) feed = out.size();
        std::string line = out.substr(start, feed - start);
        start = feed + 1;
        EXPECT_EQ(line.find('\r'), std::string::npos) << "raw carriage return in a message";
        try {
            auto ordered = nlohmann::ordered_json::parse(line);
            EXPECT_TRUE(ordered.is_object()) << line.substr(0, 200);
            if (ordered.is_object() && !ordered.empty()) {
                EXPECT_EQ(ordered.begin().key(), "type") << line.substr(0, 200);
            }
            messages.push_back(json::parse(line));
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a JSON line (" << e.what() << "): " << line.substr(0, 300);
        }
    }
    return messages;
}

// init answers with the state and then with the snapshots of the other areas this build has
// (studio, species, in that order); these tests are about the server folder, so they look
// past those, after checking that they come only where init puts them.
std::vector<json> serverMessages(const std::vector<json>& all) {
    std::vector<json> kept;
    std::string previous;
    for (const json& m : all) {
        std::string type = m.value("type", "");
        if (type == "studio" || type == "species") {
            EXPECT_TRUE(previous == "state" || (type == "species" && previous == "studio"))
                << type << " after " << previous;
        } else {
            kept.push_back(m);
        }
        previous = type;
    }
    return kept;
}

std::string cmd(const std::string& name) {
    return R"({"cmd":")" + name + R"("})";
}

json resourceNamed(const json& state, const std::string& name) {
    for (const json& r : state["resources"]) {
        if (r["name"] == name) return r;
    }
    return json();
}

void expectNotice(const json& message, bool error, const std::string& text) {
    EXPECT_EQ(message["type"], "notice");
    EXPECT_EQ(message["error"], error);
    EXPECT_EQ(message["text"], text);
}

// Realistic AI text: indentation, quotes, backslashes, tabs and characters beyond ASCII.
std::string aiText(std::size_t atLeast) {
    std::string text = "{\r\n  \"version\": 1,\n  \"brains\": {\n";
    for (int i = 0; text.size() < atLeast; ++i) {
        text += "    \"raptor_" + std::to_string(i) +
                "\": { \"note\": \"Jäger \\\"schnell\\\" – 恐竜\\\\pack\",\t\"aggro\": " +
                std::to_string(i % 97) + " },\n";
    }
    text += "    \"last\": {}\n  }\n}\n";
    return text;
}

// --- command line -------------------------------------------------------------------------

TEST_F(ForgesetToolTest, HelpGoesToStandardOutputAndSucceeds) {
    for (const char* flag : {"--help", "-h"}) {
        RunResult r = run({flag});
        EXPECT_EQ(r.exitCode, 0) << flag;
        EXPECT_EQ(r.out.rfind("Usage:", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--stdio"), std::string::npos);
        EXPECT_NE(r.out.find("--root"), std::string::npos);
        EXPECT_NE(r.out.find("--dialogs"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ForgesetToolTest, WrongCommandLinesExitWithTwoAndKeepStandardOutputClean) {
    const std::string script = home / "answers.txt";
    writeText(script, root() + "\n");
    struct Case {
        std::vector<std::string> args;
        std::string mentioned;  // what the error on stderr must name
    };
    const std::vector<Case> cases = {
        {{"--frobnicate"}, "--frobnicate"},
        {{"--stdio", "--bogus"}, "--bogus"},
        {{"--stdio", "--root"}, "--root"},
        {{"--stdio", "--dialogs"}, "--dialogs"},
        {{"--stdio", "--dialogs", script, "--root"}, "--root"},
        {{"--stdio", "--dialogs", home / "no-such-answers.txt"}, "no-such-answers.txt"},
        {{"--stdio", "--root", root(), "--dialogs", home / "gone.txt"}, "gone.txt"},
        // A folder cannot be read as a script either.
        {{"--stdio", "--dialogs", home.path()}, home.path()},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        // Commands on the input must not run when the command line is wrong.
        RunResult r = run(c.args, cmd("init") + "\n" + cmd("refresh") + "\n");
        EXPECT_EQ(r.exitCode, 2) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_NE(r.err.find(c.mentioned), std::string::npos) << shown << "\n" << r.err;
    }
    // No run above got as far as remembering a server folder.
    EXPECT_FALSE(exists(rootFile()));
}

// --- the stdio host ------------------------------------------------------------------------

// A whole editing session of a script: every answer in order, one JSON object per line, and
// the folder on disk as the commands left it.
TEST_F(ForgesetToolTest, SessionAnswersEveryCommandInOrderOneLineEach) {
    writeText(root() + "/server.cfg",
              "# my server\nsv_hostname Old Name\nsv_port 7777\nload alpha\n");
    writeText(root() + "/resources/alpha/manifest.lua", "name \"alpha\"\n");
    writeText(root() + "/resources/alpha/server.lua", "");
    fs::create_directories(root() + "/resources/.cache");

    const std::string brains = aiText(2000);
    const std::string spawns = aiText(3 * 1024 * 1024);  // a saveAi line of about 4 MB
    const std::string saveCfg =
        R"({"cmd":"saveCfg","sv_hostname":"My \"Best\" Server","sv_maxplayers":"32",)"
        R"("sv_map":"island","sv_port":"7777","sv_httpport":"8080","sv_scriptport":"8081",)"
        R"("sv_publicip":"","sv_admins":"7656","sv_gamedir":"game","sv_rconpassword":"pw"})";
    const std::vector<std::string> lines = {
        cmd("init"),
        saveCfg,
        R"({"cmd":"newResource","name":"arena"})",
        R"({"cmd":"toggleResource","name":"arena","enabled":false})",
        R"({"cmd":"saveAi","file":"brains","data":")" + base64Encode(brains) + "\"}",
        cmd("refresh"),
        // Silently ignored: unknown names, wrong case, lines that are no object, empty lines.
        R"({"cmd":"noSuchCommand","name":"x"})",
        cmd("Refresh"),
        R"("{\"cmd\":\"refresh\"}")",
        "42",
        "not json at all",
        "",
        // Invalid UTF-8 reaches the handler as U+FFFD and comes back as valid JSON.
        "{\"cmd\":\"saveCfg\",\"sv_map\":\"is\xff"
        "land\"}",
        "\xfe\xff{\"cmd\":\"noSuch\xc3\"}",
        // Several MB in one line: noise without a command, then a real command.
        "{\"pad\":\"" + std::string(5 * 1024 * 1024, 'x') + "\"}",
        R"({"cmd":"saveAi","file":"spawns","data":")" + base64Encode(spawns) + "\"}",
        cmd("refresh") + "\r",
    };
    std::string input;
    for (const auto& line : lines)
        input += line + "\n";
    input += cmd("refresh");  // the last line may lack its line feed

    RunResult r = run({"--stdio", "--root", root()}, input);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<json> m = serverMessages(messagesOf(r.out));
    const std::vector<std::string> expectedTypes = {
        "state",             // init
        "notice", "state",   // saveCfg
        "notice", "state",   // newResource
        "state",             // toggleResource
        "notice", "state",   // saveAi brains
        "state",             // refresh
        "notice", "state",   // saveCfg with invalid UTF-8
        "notice", "state",   // saveAi spawns
        "state",  "state"};  // refresh with CR LF, without LF
    ASSERT_EQ(types(m), expectedTypes) << r.err;

    const json& first = m[0];
    EXPECT_EQ(first["root"], root());
    EXPECT_EQ(first["found"], true);
    EXPECT_EQ(first["runner"], false);
    EXPECT_EQ(first["cfg"]["sv_hostname"], "Old Name");
    EXPECT_EQ(first["cfg"]["sv_port"], "7777");
    EXPECT_EQ(first["cfg"]["sv_map"], "");
    EXPECT_EQ(first["cfg"].size(), 10u);
    ASSERT_EQ(first["resources"].size(), 1u)
        << "dot folders are not resources" << first["resources"].dump();
    EXPECT_EQ(
        first["resources"][0],
        json::parse(
            R"({"name":"alpha","enabled":true,"manifest":true,"server":true,"client":false})"));
    EXPECT_EQ(first["skins"], nullptr);
    EXPECT_EQ(first["ai"], json::parse(R"({"brains":"","spawns":""})"));

    expectNotice(m[1], false, "server.cfg saved. Restart the server to apply.");
    EXPECT_EQ(m[2]["cfg"]["sv_hostname"], "My \"Best\" Server");
    EXPECT_EQ(m[2]["cfg"]["sv_rconpassword"], "pw");

    expectNotice(m[3], false, "Resource arena created and enabled.");
    EXPECT_EQ(
        resourceNamed(m[4], "arena"),
        json::parse(
            R"({"name":"arena","enabled":true,"manifest":true,"server":true,"client":true})"));
    EXPECT_EQ(resourceNamed(m[5], "arena")["enabled"], false);
    EXPECT_EQ(resourceNamed(m[5], "alpha")["enabled"], true);

    expectNotice(m[6], false, "Saved. A running server picks it up within a few seconds.");
    EXPECT_EQ(m[7]["ai"]["brains"], brains);
    EXPECT_EQ(m[8], m[7]) << "a refresh of an unchanged folder gives the same state";

    expectNotice(m[9], false, "server.cfg saved. Restart the server to apply.");
    EXPECT_EQ(m[10]["cfg"]["sv_map"], "is\xEF\xBF\xBDland");
    EXPECT_EQ(m[10]["cfg"]["sv_hostname"], "My \"Best\" Server") << "absent keys stay";

    expectNotice(m[11], false, "Saved. A running server picks it up within a few seconds.");
    EXPECT_EQ(m[12]["ai"]["spawns"], spawns);
    EXPECT_EQ(m[12]["ai"]["brains"], brains);
    EXPECT_EQ(m[13], m[12]);
    EXPECT_EQ(m[14], m[12]);

    // The files as the commands left them: untouched lines kept, CR LF after every line,
    // missing keys appended in their order, the arena load line added and removed again.
    EXPECT_EQ(readText(root() + "/server.cfg"),
              "# my server\r\nsv_hostname My \"Best\" Server\r\nsv_port 7777\r\nload alpha\r\n"
              "sv_maxplayers 32\r\nsv_map is\xEF\xBF\xBDland\r\nsv_httpport 8080\r\n"
              "sv_scriptport 8081\r\nsv_publicip \r\nsv_admins 7656\r\nsv_gamedir game\r\n"
              "sv_rconpassword pw\r\n");
    EXPECT_EQ(readText(root() + "/data/ai/brains.json"), brains);
    EXPECT_EQ(readText(root() + "/data/ai/spawns.json"), spawns);
    EXPECT_FALSE(exists(root() + "/data/ai/brains.json.tmp"));
    EXPECT_FALSE(exists(root() + "/data/ai/spawns.json.tmp"));
    EXPECT_EQ(readText(root() + "/resources/arena/manifest.lua").rfind("name \"arena\"\r\n", 0),
              0u);
    EXPECT_TRUE(exists(root() + "/resources/arena/ui/index.html"));
    EXPECT_FALSE(exists(root() + "/resources/noSuch"));
}

// Each message leaves as soon as it is posted, not when the input ends: a script waits for the
// answer before it sends the next command.
TEST_F(ForgesetToolTest, EachAnswerArrivesWhileTheInputStaysOpen) {
    ChildProcess tool({program, {"--stdio", "--root", root()}, environment()});
    for (int i = 0; i < 3; ++i) {
        tool.write(cmd("refresh") + "\n");
        auto line = tool.readLine();
        ASSERT_TRUE(line) << "no answer before the input was closed; stderr: " << tool.err;
        EXPECT_EQ(json::parse(*line)["type"], "state");
    }
    tool.write(R"({"cmd":"newResource","name":"a b"})"
               "\n");
    auto line = tool.readLine();
    ASSERT_TRUE(line);
    expectNotice(json::parse(*line), true, "Resource names use letters, digits, _ and -.");
    EXPECT_EQ(tool.wait(), 0);
    EXPECT_EQ(tool.out.size(), tool.out.rfind('\n') + 1) << "nothing after the last answer";
}

// Reading the input and writing the answers happen on different threads; a burst of commands
// must still give exactly one intact answer each, none lost, none repeated.
TEST_F(ForgesetToolTest, BurstOfCommandsGivesExactlyOneAnswerEach) {
    constexpr int kCount = 150;
    std::string input;
    for (int i = 0; i < kCount; ++i)
        input += R"({"cmd":"newResource","name":"r)" + std::to_string(1000 + i) + "\"}\n";
    RunResult r = run({"--stdio", "--root", root()}, input);
    std::vector<json> m = messagesOf(r.out);
    ASSERT_EQ(m.size(), 2u * kCount);
    // Every answer names its own resource and every state one resource more: a lost, repeated
    // or reordered message shows.
    for (int i = 0; i < kCount; ++i) {
        expectNotice(m[2 * i], false,
                     "Resource r" + std::to_string(1000 + i) + " created and enabled.");
        EXPECT_EQ(m[2 * i + 1]["resources"].size(), static_cast<std::size_t>(i + 1)) << i;
    }
}

TEST_F(ForgesetToolTest, WinCloseEndsTheProcessAndLaterLinesAreNotRun) {
    const std::string input = cmd("refresh") + "\n" + cmd("winClose") + "\n" + cmd("refresh") +
                              "\n" + R"({"cmd":"newResource","name":"late"})" + "\n" +
                              std::string(1024 * 1024, ' ') + "\n";
    ChildProcess tool({program, {"--stdio", "--root", root()}, environment()});
    tool.write(input);
    // The input stays open: winClose alone must end the process.
    EXPECT_EQ(tool.wait(/*closeInputFirst=*/false), 0);
    EXPECT_FALSE(tool.timedOut) << "winClose did not end the process";
    std::vector<json> m = messagesOf(tool.out);
    EXPECT_EQ(types(m), std::vector<std::string>{"state"});
    EXPECT_FALSE(exists(root() + "/resources/late"));
}

TEST_F(ForgesetToolTest, EmptyInputEndsAtOnceWithoutMessagesButRemembersTheRoot) {
    RunResult r = run({"--stdio", "--root", root()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    // --root is remembered at once, as a folder chosen in the dialog is, without any command.
    EXPECT_EQ(readText(rootFile()), root());
}

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
