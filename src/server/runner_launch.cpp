#include "server/runner_launch.h"

#include <fstream>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/terminal.h"

namespace server {

namespace {

constexpr const char* kStarted = "Server runner started in its own window.";
constexpr const char* kWineMissing =
    "Wine is needed to run VarraForgesetServer.exe on Linux: install the Debian package wine.";

// Every Windows executable begins with the two bytes of its DOS header.
bool isWindowsProgram(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[2] = {};
    return file.read(magic, sizeof magic) && magic[0] == 'M' && magic[1] == 'Z';
}

}  // namespace

RunnerLaunch planRunnerLaunch(const std::string& root, const std::string& runner) {
    if (!isWindowsProgram(runner)) return {{runner}, {}, kStarted};
    const std::string wine = platform::findProgram("wine");
    if (wine.empty()) return {{}, {}, kWineMissing};
    // By its bare name, as an owner would type it in the server folder, so that Wine finds it
    // through the current folder and the server sees its own folder as the current one.
    std::vector<std::string> argv = platform::terminalLauncher();
    if (!argv.empty()) {
        argv.insert(argv.end(), {wine, "VarraForgesetServer.exe"});
        return {argv, {}, kStarted};
    }
    // No desktop to show a window on (the browser host on a headless machine, --stdio): the
    // output is kept where the owner can read it later.
    const std::string log = root + "/logs/runner-" + platform::localDate() + ".log";
    return {{wine, "VarraForgesetServer.exe"},
            log,
            "Server runner started under Wine without a window: its output goes to " + log + "."};
}

}  // namespace server
