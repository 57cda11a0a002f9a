#pragma once
#include <string>
#include <vector>

namespace server {

// How the server runner starts on this machine. A Windows program (its file starts with
// "MZ") runs under Wine from the server folder: in a terminal window on a desktop, else with
// its output appended to a dated log file in the server folder. Any other runner is a program
// of this system and starts directly.
struct RunnerLaunch {
    // The command line; empty when the runner cannot be started, and `notice` says why.
    std::vector<std::string> argv;
    // The file its output goes to; empty when it has a window of its own.
    std::string logFile;
    // What the owner is told once it runs, or why it cannot.
    std::string notice;
};

// `root` is the server folder as an absolute path, `runner` the runner's path inside it.
RunnerLaunch planRunnerLaunch(const std::string& root, const std::string& runner);

}  // namespace server
