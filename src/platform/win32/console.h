#pragma once
#include <string>
#include <vector>

// What the Windows entry point needs of its standard streams before any host runs.
namespace platform::win32 {

// The command line's arguments after the program's name, as UTF-8. The C runtime's argv is in
// the ANSI code page, which cannot hold every folder name an owner may pass with --root.
std::vector<std::string> commandLineArguments();

// A windows program gets no console of its own. Streams its starter handed over (pipes,
// files) are kept; those it lacks are taken from the starter's console, when there is one,
// so --stdio and --help still work typed into a console. Call it before the C++ streams are
// first used.
void useParentConsole();

// Standard input and output carry bytes unchanged: no CR LF translation and no end at a
// Ctrl+Z, since messages are UTF-8 lines of JSON. A console shows that UTF-8 as text.
void useBinaryStandardStreams();

}  // namespace platform::win32
