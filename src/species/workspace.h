#pragma once
#include <string>
#include <string_view>

namespace species {

// Where species live on disk: one workspace folder per species below the server root,
//   <root>/species/<name>/species.json        the definition, as the page wrote it
//   <root>/species/<name>/source/             imported models, textures, Sounds/, inspect.json
//   <root>/species/<name>/build/build.log     the last build's log
//   <root>/species/<name>/build/remote-job.txt  a remote build being followed
// and the built client package at <root>/client-mods/species_<name>.pak.

// Every species command and the species message apply this rule: 1 to 32 characters, each
// a to z, 0 to 9 or "_", not starting with "_". It keeps names usable as folder names,
// package names and unquoted arguments, and hides the kept _deleted_ folders.
bool isSpeciesName(std::string_view name);

inline constexpr const char* kNameRuleNotice =
    "Species names use 1 to 32 characters of a-z, 0-9 and _.";

// <root>/species
std::string speciesFolder(const std::string& root);

// <root>/species/<name>
std::string workspaceFolder(const std::string& root, const std::string& name);

// The species kit (build script and template descriptions) beside the executable, else one
// level up as in a development tree; looked up anew on every call. Empty when neither is a
// folder.
std::string findSpeciesKit(const std::string& programFolder);

}  // namespace species
