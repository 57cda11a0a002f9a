#pragma once
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Windows hands a new process one command line, which the program splits again by itself
// (CommandLineToArgvW and the C runtime agree on the rules). This joins an argument vector so
// that the split gives every argument back unchanged: blanks, tabs, quotes, backslashes, empty
// arguments and any Unicode text. Nothing when the vector cannot be written that way: it is
// empty, an argument holds a NUL, or the program path (argv[0], which is split by simpler
// rules) holds a quote, which no Windows path can.
std::optional<std::string> joinCommandLine(const std::vector<std::string>& argv);

}  // namespace platform
