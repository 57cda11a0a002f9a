#pragma once
// The commands that start the runner and open folders, with the fake opener recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/environment.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

namespace server {

using Notices = std::vector<std::pair<bool, std::string>>;

// Lines of a file that a detached program writes; waits until `count` lines are there or
// a few seconds have passed. Paths in them have forward slashes (Windows writes its own).
inline std::vector<std::string> waitForLines(const std::string& path, std::size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 500; ++i) {
        lines.clear();
        if (exists(path)) {
            std::string text = readText(path);
            std::replace(text.begin(), text.end(), '\\', '/');
            for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                lines.push_back(text.substr(start, end - start));
            }
        }
        if (lines.size() >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
}

// Puts the fake opener first on PATH for the test's lifetime (on Windows the tests' Wine
// prefix names it as the opener of folders, documents and addresses).
class RunnerCommandsTest : public ::testing::Test {
  protected:
    std::string openLog() const { return t.home / "opened.log"; }

    void open(const std::string& what) {
        t.send(nlohmann::ordered_json{{"cmd", "open"}, {"what", what}}.dump());
    }

    // Sends the messages, then "docs" as a marker, and returns what was opened besides the
    // guide once `expected` other lines (and no stragglers) have arrived. Each call starts
    // its own opener, so lines arrive in any order.
    std::vector<std::string> openedBy(const std::vector<std::string>& messages,
                                      std::size_t expected) {
        for (const std::string& m : messages)
            t.send(m);
        open("docs");
        waitForLines(openLog(), expected + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::vector<std::string> lines = waitForLines(openLog(), expected + 1);
        auto guide = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.ends_with("/docs/server-owner-guide.md");
        });
        EXPECT_NE(guide, lines.end());
        if (guide != lines.end()) lines.erase(guide);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    TestApp t;

  private:
    ScopedEnv path_{"PATH", pathWithFirst(FORGESET_FAKES_DIR)};
    ScopedEnv openLog_{"FAKE_XDG_OPEN_LOG", openLog()};
};

}  // namespace server
