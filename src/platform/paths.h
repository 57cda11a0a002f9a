#pragma once
#include <string>

namespace platform {

// The per-user folder of the tool: $XDG_DATA_HOME/VarraForgeset, else
// $HOME/.local/share/VarraForgeset, else "."; on Windows %LOCALAPPDATA%\VarraForgeset, else
// the system's local application data folder, else ".". Worked out anew on every call (tests
// and users may change the environment) and created, parents included, when it is a real
// path.
std::string appDataFolder();

// The folder that holds the running executable, read from /proc/self/exe (on Windows from
// the loaded module's own name) so that a copied binary still finds tools/, species-kit/ and
// docs/ beside itself. Empty when unknown.
std::string executableFolder();

// The path separator of this platform, used wherever paths are built by appending tails.
#ifdef _WIN32
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

}  // namespace platform
