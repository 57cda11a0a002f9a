#pragma once
#include <string>
#include <vector>

#include "platform/result.h"

namespace platform {

// Opens a folder, document or URL with the desktop's associated program (xdg-open on PATH,
// the shell's "open" on Windows). Fire and forget: the result is not examined and a missing
// opener is silent.
void shellOpen(const std::string& target);

// Starts a program detached in its own session (on Windows in a console window of its own),
// with `workingFolder` as its current folder and none of our standard input. Its standard
// output and error are appended to `outputFile` (created when missing) when one is named, and
// it reads nothing; else on Linux they go to our standard error, on Windows to its console
// window. Fails when the output file cannot be opened, the child cannot be created, cannot
// enter the folder or cannot execute the program (with that step's error number); what the
// program does once it runs is not watched, and it outlives us.
Result<> startDetached(const std::vector<std::string>& argv, const std::string& workingFolder,
                       const std::string& outputFile = {});

}  // namespace platform
