#pragma once
#include <string>
#include <vector>

// What the tool does with its command line on either system, once the entry point has set up
// what only its system needs: reports a wrong command line, prints --help, or runs the host
// asked for (none named: the desktop window where there is a desktop, else the browser host).
// Returns the exit code.
int runTool(const std::vector<std::string>& arguments);
