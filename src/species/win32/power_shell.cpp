#include "species/power_shell.h"

#include "platform/process.h"

namespace species {

// Windows ships powershell.exe in its own folder, which PATH names; only a machine whose PATH
// was stripped of it gets this.
const char* const kPowerShellMissing =
    "powershell.exe was not found on PATH. The local build runs the species kit's PowerShell "
    "script with Windows PowerShell.";

std::string findPowerShell() {
    return platform::findProgram("powershell.exe");
}

}  // namespace species
