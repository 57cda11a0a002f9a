#include <csignal>
#include <cstdlib>

#include "platform/process.h"
#include "shell/host_session.h"

void HostSession::exitOnTerminateSignals() {
    // The console's Ctrl+C and Ctrl+Break reach a Windows program as SIGINT and SIGBREAK, on a
    // thread of their own; Windows has no SIGHUP, and nothing sends SIGTERM. The helpers end
    // with our Job object whatever ends the process; ending them first only makes it prompt.
    auto end = [](int) {
        platform::endRunningChildren();
        std::_Exit(0);
    };
    for (int sig : {SIGINT, SIGBREAK})
        std::signal(sig, end);
}
