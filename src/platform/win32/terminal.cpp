#include "platform/terminal.h"

namespace platform {

std::vector<std::string> terminalLauncher() {
    // Windows needs no terminal program in front: the runner is a console program, and
    // starting it detached gives it a console window of its own (CREATE_NEW_CONSOLE), so
    // there is nothing to put before its command line.
    return {};
}

}  // namespace platform
