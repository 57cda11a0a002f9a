#pragma once
#include <string>
#include <vector>

// What the Windows entry point needs of its console process before any host runs.
namespace platform::win32 {

// The command line's arguments after the program's name, as UTF-8. The C runtime's argv is in
// the ANSI code page, which cannot hold every folder name an owner may pass with --root.
std::vector<std::string> commandLineArguments();

// Standard input and output carry bytes unchanged: no CR LF translation and no end at a
// Ctrl+Z, since messages are UTF-8 lines of JSON. A console shows that UTF-8 as text.
void useBinaryStandardStreams();

}  // namespace platform::win32
