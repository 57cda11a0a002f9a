#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace remote {

struct TrackedJob;

// Downloads a done job's result archive into the download folder, unpacks it there and
// copies the species' .pak, .utoc and .ucas into client-mods and server-mods of the server
// folder, and its build.log into the workspace; then tells the user how it went. Only
// regular files that the archive itself brought are installed: nothing it unpacks can make
// the tool read or write a file elsewhere.
void installResult(bridge::App& app, const TrackedJob& job, const std::string& token);

}  // namespace remote
