#include "species/power_shell.h"

#include "platform/process.h"

namespace species {

const char* const kPowerShellMissing =
    "PowerShell 7 (pwsh) was not found on PATH. The local build runs the species kit's "
    "PowerShell script: install PowerShell 7 (see https://aka.ms/install-powershell) and make "
    "sure pwsh is on PATH.";

std::string findPowerShell() {
    return platform::findProgram("pwsh");
}

}  // namespace species
