// Stand-in for the asset helper tool. It answers the four command lines the Server Tool uses
// with realistic output and real files (a loadable binary glTF model, valid PNG images, the JSON
// descriptions the pages read), and lets tests pick failure behaviour through environment
// variables:
//
//   FAKE_ASSETS_LOG        append "arg1<TAB>arg2...<TAB>cwd" per call, written before any work
//   FAKE_ASSETS_DELAY_MS   sleep this long before doing the work of any command
//   FAKE_ASSETS_WAIT_FOR   file that must exist before the work of any command (a test's gate)
//   FAKE_ASSETS_SPECIES    list | plain | remark | unicode | reversed | empty | broken
//   FAKE_ASSETS_EXPORT     ok | fail | hang | flood | capital | inword | nomesh | badinfo
//   FAKE_ASSETS_FLOOD_DONE "1": the flood ends with a line "done"
//   FAKE_ASSETS_PIDS       hang: file that receives "parent <pid>" and "child <pid>"
//   FAKE_ASSETS_INSPECT    ok | fail
//   FAKE_ASSETS_PREPARE    ok | fail
//
// Names, JSON and images go through the real helper's code without assimp, and the system
// through the few calls of fake_system.h, so the same fake is built for Linux and, as
// forgeset-assets.exe, for Windows.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "assets/source_files.h"
#include "fake_system.h"
#include "forgeset_assets/commands.h"

namespace fake_assets {

std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string(fallback);
}

void out(std::string_view text) {
    writeStdout(text);
}

void err(std::string_view text) {
    writeStderr(text);
}

void sleepMs(long ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void sleepForever() {
    for (int i = 0; i < 3600; ++i)
        sleepMs(1000);
}

bool writeFile(const fs::path& file, std::string_view bytes) {
    return assets::writeFileAtomically(file, bytes).empty();
}

int usage(const std::string& problem) {
    err("forgeset-assets: " + problem + "\n");
    err("usage: forgeset-assets species\n"
        "       forgeset-assets export <name> <outFolder>\n"
        "       forgeset-assets inspect-fbx <srcFolder> <outFile>\n"
        "       forgeset-assets prepare-textures <speciesJson> <sourceFolder> <outFolder>\n");
    return 2;
}

namespace {

void logInvocation(const std::vector<std::string>& args) {
    std::string path = envOr("FAKE_ASSETS_LOG", "");
    if (path.empty()) return;
    std::string line;
    for (const std::string& arg : args)
        line += arg + "\t";
    std::error_code ec;
    line += fs::current_path(ec).string() + "\n";
    // Appended and closed before any work, so a test can see the call even while it hangs.
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

}  // namespace

}  // namespace fake_assets

int main(int argc, char** argv) {
    using namespace fake_assets;
    std::vector<std::string> args = programArguments(argc, argv);
    if (args.size() == 1 && args[0] == kSleeperCommand) {
        sleepForever();
        return 0;
    }
    logInvocation(args);
    if (args.empty()) return usage("missing command");
    const std::string& command = args[0];
    std::optional<size_t> needed;
    if (command == "species") needed = 1;
    if (command == "export" || command == "inspect-fbx") needed = 3;
    if (command == "prepare-textures") needed = 4;
    if (!needed) return usage("unknown command '" + command + "'");
    if (args.size() < *needed) return usage("missing arguments for " + command);

    sleepMs(std::atol(envOr("FAKE_ASSETS_DELAY_MS", "0").c_str()));
    for (const std::string gate = envOr("FAKE_ASSETS_WAIT_FOR", "");
         !gate.empty() && !std::filesystem::exists(gate);)
        sleepMs(10);
    if (command == "species") return speciesCommand();
    if (command == "export") return exportCommand(args[1], utf8Path(args[2]));
    if (command == "inspect-fbx") return inspectCommand(utf8Path(args[1]), utf8Path(args[2]));
    return prepareCommand(utf8Path(args[1]), utf8Path(args[2]), utf8Path(args[3]));
}
