#pragma once
#include <string>
#include <vector>

namespace platform {

// Opens a folder, document or URL with the desktop's associated program (xdg-open on PATH).
// Fire and forget: the result is not examined and a missing opener is silent.
void shellOpen(const std::string& target);

// Starts a program detached in its own session, with `workingFolder` as its current folder
// and no standard input. Returns false only when the child could not be created at all; a
// program that fails to execute is not reported (the shell's "open" does not either).
bool startDetached(const std::vector<std::string>& argv, const std::string& workingFolder);

}  // namespace platform
