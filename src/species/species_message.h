#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace species {

// The "species" message: whether the species kit and the asset helper are there, the busy
// flag, the build service sign-in, every template description of the kit, and one item per
// workspace of the server folder `root` with its files' texts. Built from disk every time;
// it never fails, what cannot be read shows as empty or false.
std::string buildSpeciesMessage(const bridge::App& app, const std::string& root);

// Builds the message for the chosen server folder and posts it. Callable from any thread: a
// message built for a folder the owner left while it was being built is built anew for the
// folder chosen now, so the page only ever gets the workspaces of the folder it shows.
void sendSpeciesMessage(bridge::App& app);

// Only the last bytes of build.log travel: the page shows the end of a build.
inline constexpr std::size_t kLogTailBytes = 6000;

}  // namespace species
