#pragma once
#include <string>
#include <string_view>
#include <vector>

// How Windows programs are found by name. Pure rules, so they can be checked anywhere; the
// Windows process runners ask the file system about each candidate.
namespace platform {

// The paths where a program called `name` may be, in the order to try them: a name with a
// folder part (a slash, backslash or drive colon) is taken as it is, else it is looked for in
// each folder of `searchPath` (";"-separated, quotes around a folder dropped, empty entries
// skipped: the current folder is never searched). A name whose extension is one of
// `extensions` (";"-separated, as in PATHEXT; ".COM;.EXE" when there are none) is tried as
// given, any other with each of those extensions added. Command scripts (.BAT, .CMD) are never
// candidates, see isCommandScript.
std::vector<std::string> programCandidates(std::string_view name, std::string_view searchPath,
                                           std::string_view extensions);

// True for a program that Windows would run through cmd.exe (.bat, .cmd, letter case
// ignored). cmd.exe reads the command line again by rules of its own, under which no quoting
// keeps an argument from being taken as a command, so the runners start no such program.
bool isCommandScript(std::string_view path);

}  // namespace platform
