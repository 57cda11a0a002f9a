#include "server/runner_launch.h"

namespace server {

// On Windows the runner is a program of the system: it starts directly, and starting it
// detached gives it a console window of its own.
RunnerLaunch planRunnerLaunch(const std::string&, const std::string& runner) {
    return {{runner}, {}, "Server runner started in its own window."};
}

}  // namespace server
