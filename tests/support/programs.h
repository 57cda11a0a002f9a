#pragma once
// Outside programs and the species kit as the tests put them where the tool looks for them.
#include <string>

// The ending of a program file's name here: "" on Linux, ".exe" on Windows.
extern const char* const kProgramSuffix;

// Puts the program at `from` at `to` + kProgramSuffix, as an installer would: a symbolic link
// on Linux; a copy on Windows, where Wine makes no symbolic links and a hard link would share
// the lock of a program running from another test, so a test could not remove its own.
void placeProgram(const std::string& from, const std::string& to);

// Puts the folder at `from` at `to`: a symbolic link on Linux, a copy on Windows.
void placeFolder(const std::string& from, const std::string& to);

// The places beside the program folder where the tool looks for its asset helper, in order:
// installed, then a development build's platform-specific and portable outputs.
extern const char* const kAssetHelperTails[3];

// The built tool with an asset helper beside it, for the black-box tests. On Linux the build's
// own tool, which has the real helper in tools/; on Windows, where the real helper is not
// built (no assimp for mingw-w64), a copy of the tool in `folder` with the fake helper and the
// species kit beside it.
std::string toolWithHelper(const std::string& folder);

// The PowerShell the local build runs, as the notice that it is missing names it.
extern const char* const kPowerShellName;

// Whether the opener of folders and documents is started only for what exists: Windows' shell
// refuses a missing target itself; xdg-open is handed any.
extern const bool kOpensOnlyWhatExists;
