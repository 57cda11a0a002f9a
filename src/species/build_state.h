#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace species {

// Appends the species message's "build" object: the build service's address, the stored
// sign-in and whether a sign-in is under way.
void appendBuildState(std::string& out, const bridge::App& app);

}  // namespace species
