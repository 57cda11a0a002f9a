#include <csignal>
#include <cstdlib>

#include "platform/process.h"
#include "shell/host_session.h"

void HostSession::exitOnTerminateSignals() {
    // Only async-signal-safe calls: kill() for each helper group, then _Exit.
    auto end = [](int) {
        platform::endRunningChildren();
        std::_Exit(0);
    };
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, end);
}
