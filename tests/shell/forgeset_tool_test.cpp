// The executable's command line and its headless host, run as a script runs them.
#include "shell/forgeset_tool_fixture.h"

namespace {

using namespace tool_test;

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

}  // namespace
