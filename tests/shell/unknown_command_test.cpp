// What a script that sends a command the tool does not know learns, seen from outside: a real
// --stdio child process with its own home.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_app.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(UnknownCommandTest, IsNamedOnStandardErrorAndLeavesStandardOutputToTheAnswers) {
    TempDir home;
    ChildProcess tool({FORGESET_TOOL_PATH,
                       {"--stdio"},
                       {{"XDG_DATA_HOME", home.path() + "/xdg"}, {"HOME", home.path()}}});
    tool.write(R"({"cmd":"refresh"})"
               "\n"
               R"({"cmd":"saveCfgg","sv_map":"x"})"
               "\n"
               "{\"cmd\":\"</script>\x1b\"}\n"
               R"({"cmd":"refresh"})"
               "\n");
    EXPECT_EQ(tool.wait(), 0);
    // Two answers for the two refreshes and nothing else on the messages' stream.
    const std::vector<std::string> out = linesOf(tool.out);
    ASSERT_EQ(out.size(), 2u) << tool.out;
    for (const std::string& line : out)
        EXPECT_TRUE(line.starts_with(R"({"type":"state",)"));
    std::vector<std::string> reported;
    for (const std::string& line : linesOf(tool.err))
        if (line.find("ignored") != std::string::npos) reported.push_back(line);
    EXPECT_EQ(reported, (std::vector<std::string>{
                            R"(forgeset-server-tool: ignored unknown command "saveCfgg")",
                            R"(forgeset-server-tool: ignored unknown command "</script>\u001b")",
                        }));
}

}  // namespace
