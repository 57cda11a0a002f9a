#pragma once
// Entries whose names are not valid text: a byte that is no UTF-8 on Linux, a lone surrogate
// on Windows (which Wine refuses to make).
#include <string>

// Makes `folder`/`before`?`after`, a folder or an empty file, with the broken character
// between the two parts. False when this system cannot have such a name.
bool makeEntryWithBrokenName(const std::string& folder, const std::string& before,
                             const std::string& after, bool asFolder);
