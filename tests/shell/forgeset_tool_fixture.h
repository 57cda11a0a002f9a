#pragma once
// The tool as a script sees it, for the tests that run the executable: a real child process
// with pipes on all three standard streams, its own app data folder, and nothing shared with
// the test process; and the checks every message on its standard output must pass.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_app.h"

namespace tool_test {

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
inline std::vector<json> messagesOf(const std::string& out) {
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
inline std::vector<json> serverMessages(const std::vector<json>& all) {
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

inline std::string cmd(const std::string& name) {
    return R"({"cmd":")" + name + R"("})";
}

inline json resourceNamed(const json& state, const std::string& name) {
    for (const json& r : state["resources"]) {
        if (r["name"] == name) return r;
    }
    return json();
}

inline void expectNotice(const json& message, bool error, const std::string& text) {
    EXPECT_EQ(message["type"], "notice");
    EXPECT_EQ(message["error"], error);
    EXPECT_EQ(message["text"], text);
}

// Realistic AI text: indentation, quotes, backslashes, tabs and characters beyond ASCII.
inline std::string aiText(std::size_t atLeast) {
    std::string text = "{\r\n  \"version\": 1,\n  \"brains\": {\n";
    for (int i = 0; text.size() < atLeast; ++i) {
        text += "    \"raptor_" + std::to_string(i) +
                "\": { \"note\": \"Jäger \\\"schnell\\\" – 恐竜\\\\pack\",\t\"aggro\": " +
                std::to_string(i % 97) + " },\n";
    }
    text += "    \"last\": {}\n  }\n}\n";
    return text;
}

}  // namespace tool_test
