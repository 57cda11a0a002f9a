#pragma once
// The fake asset helper's commands (see main.cpp for the switches that steer them). What a
// real helper would say about names, JSON and images comes from the helper's own code
// (src/assets, the part without assimp); what is made up here is the game: its species, its
// model and its textures, and how the commands fail.
#include <filesystem>
#include <string>
#include <string_view>

namespace fake_assets {

namespace fs = std::filesystem;

// A switch's value, or `fallback` when it is not set.
std::string envOr(const char* name, const char* fallback);

// Both streams are written unbuffered, so that a caller reading one shared pipe sees the
// lines in exactly the order they were produced.
void out(std::string_view text);
void err(std::string_view text);

void sleepMs(long ms);

// Sleeps for good, as a helper that hangs does; bounded after an hour so that a test which
// never ends the group cannot leave the process behind for good.
void sleepForever();

// The command line of the copy that a hanging export starts; it sleeps and logs nothing.
inline constexpr const char* kSleeperCommand = "sleep-forever";

// Writes the usage to standard error; the exit code for a bad command line.
int usage(const std::string& problem);

int speciesCommand();
int exportCommand(const std::string& name, const fs::path& outFolder);
int inspectCommand(const fs::path& srcFolder, const fs::path& outFile);
int prepareCommand(const fs::path& speciesJson, const fs::path& sourceFolder,
                   const fs::path& outFolder);

// Writes `bytes` as the whole of `file`, as the real helper writes its files; false when it
// could not.
bool writeFile(const fs::path& file, std::string_view bytes);

}  // namespace fake_assets
