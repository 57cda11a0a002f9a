#pragma once
#include <string>
#include <vector>

namespace platform {

// The start of a command line that runs a program in a new terminal window of the desktop:
// the terminal's full path and the option after which the program and its arguments follow.
// The desktop's own choice (x-terminal-emulator) comes first, then the first of the usual
// terminals found on PATH. Empty without a display, or when no terminal is found.
std::vector<std::string> terminalLauncher();

}  // namespace platform
