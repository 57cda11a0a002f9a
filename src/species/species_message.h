#pragma once
#include <string>

struct App;

// The "species" message: whether the species kit and the asset helper are there, the busy
// flag, the build service sign-in, every template description of the kit, and one item per
// workspace with its files' texts. Built from disk every time; it never fails, what cannot
// be read shows as empty or false.
//
// `root` is passed in because workers build the message too and must not read
// app.serverRoot, which only the dispatching thread may touch: a worker reports the
// workspaces of the server folder it was started for.
std::string buildSpeciesMessage(const App& app, const std::string& root);

// Builds the message and posts it. Callable from any thread.
void sendSpeciesMessage(App& app, const std::string& root);

// The same for the dispatching thread, over the current server folder.
void sendSpeciesMessage(App& app);

// Only the last bytes of build.log travel: the page shows the end of a build.
inline constexpr std::size_t kLogTailBytes = 6000;
