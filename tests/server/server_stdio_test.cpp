// The built tool driven through --stdio over a server folder whose path has blanks and letters
// beyond ASCII, as an owner's folder on Windows often has: what init answers, and what a save
// leaves on disk. On Windows the path crosses UTF-8 to UTF-16 at every file call and on the
// command line, so a wrong conversion shows up here as a folder not found or a second folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/environment.h"
#include "support/programs.h"
#include "support/test_app.h"

namespace server {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

TEST(ServerStdioTest, InitAnswersEveryPageAndASaveWritesCrLfIntoAFolderBeyondAscii) {
    TempDir home;
    const std::string root = home / "Sérvér ü 日本";
    writeText(root + "/server.cfg", "# mine\nsv_hostname Old\nload alpha\n");
    writeText(root + "/resources/alpha/manifest.lua", "name \"alpha\"\n");
    writeText(root + "/VarraForgesetServer.exe", "runner");

    ChildProcess tool({toolWithHelper(home / "program"),
                       {"--stdio", "--root", root},
                       {{kDataHomeVariable, home / "data"}}});
    tool.write(R"({"cmd":"init"})"
               "\n"
               R"({"cmd":"saveCfg","sv_hostname":"Nüé \"One\"","sv_port":"7777"})"
               "\n"
               R"({"cmd":"toggleResource","name":"alpha","enabled":false})"
               "\n");
    tool.closeInput();
    std::vector<json> seen;
    while (std::optional<std::string> line = tool.readLine()) {
        try {
            seen.push_back(json::parse(*line));
        } catch (const std::exception&) {
            ADD_FAILURE() << "not JSON: " << line->substr(0, 300);
        }
    }
    EXPECT_EQ(tool.wait(), 0) << tool.err;
    ASSERT_EQ(types(seen),
              (std::vector<std::string>{"state", "studio", "species", "notice", "state", "state"}))
        << tool.err;

    const json& state = seen[0];
    EXPECT_EQ(state["root"], root);
    EXPECT_EQ(state["found"], true);
    EXPECT_EQ(state["runner"], true);
    EXPECT_EQ(state["cfg"]["sv_hostname"], "Old");
    ASSERT_EQ(state["resources"].size(), 1u);
    EXPECT_EQ(state["resources"][0]["enabled"], true);
    EXPECT_EQ(seen[1]["helper"], true);
    EXPECT_EQ(seen[2]["helper"], true);
    EXPECT_EQ(seen[2]["kit"], true);
    EXPECT_EQ(seen[2]["items"], json::array());

    EXPECT_EQ(seen[3]["text"], "server.cfg saved. Restart the server to apply.");
    EXPECT_EQ(seen[4]["cfg"]["sv_hostname"], "Nüé \"One\"");
    EXPECT_EQ(seen[5]["resources"][0]["enabled"], false);
    EXPECT_EQ(readText(root + "/server.cfg"),
              "# mine\r\nsv_hostname Nüé \"One\"\r\nsv_port 7777\r\n");

    // Nothing was written under a mangled second name (the tool's copy on Windows aside).
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(utf8Path(home.path())))
        if (entry.path().filename() != "program")
            names.push_back(utf8Text(entry.path().filename()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sérvér ü 日本", "data"}));
}

}  // namespace

}  // namespace server
