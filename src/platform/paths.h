#pragma once
#include <string>
#include <string_view>

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

// The person's own folder, where a dialog with nothing better to show starts: $HOME (on
// Windows %USERPROFILE%), else the top of the file system ("/"; on Windows the system drive's
// root).
std::string homeFolder();

// Whether `path` names the same place whatever the current folder and drive: "/..." (on
// Windows "C:\..." or "\\server\share\...", either slash, but not the device namespaces
// "\\.\" and "\\?\", which name no folder a person picks), without NUL.
bool isFullPath(std::string_view path);

// The path separator of this platform, used wherever paths are built by appending tails.
#ifdef _WIN32
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

}  // namespace platform
