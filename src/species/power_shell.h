#pragma once
#include <string>

namespace species {

// The PowerShell that runs the species kit's build script: its full path, empty when this
// machine has none. Windows has powershell.exe; elsewhere it is PowerShell 7's pwsh, which the
// owner installs.
std::string findPowerShell();

// What the owner is told when findPowerShell finds nothing: without it every build would
// fail with an empty log.
extern const char* const kPowerShellMissing;

}  // namespace species
