#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace server {

// The app data folder (created when missing); see platform::appDataFolder.
std::string appDataFolder();

// appDataFolder() + "/server-root.txt", where the chosen server folder is remembered.
std::string serverRootFile();

// Replaces app.serverRoot with the content of server-root.txt, trailing CR, LF and blanks
// dropped. A missing file gives an empty root.
void loadServerRoot(bridge::App& app);

// Sets the server root and remembers it in server-root.txt, as choosing it in the folder
// dialog does. Returns whether the root changed (exact, case-sensitive comparison).
bool chooseServerRoot(bridge::App& app, const std::string& path);

}  // namespace server
