// forgeset-assets: the asset helper for the owner's own model files. It inspects FBX models
// and prepares textures; reading the installed game's packed files is left to the game's own
// asset extractor, which can take this program's place beside the Server Tool.

#include <cstdio>
#include <string>
#include <vector>

#include "assets/inspect.h"
#include "assets/prepare.h"

namespace {

// Printed for the commands that read the game's files. It holds no bracketed list and not the
// word the extraction success test looks for, so the Server Tool shows its usual notice.
constexpr const char* kNeedsGameExtractor =
    "Reading the game's packed files needs the game's own asset extractor: put it as "
    "tools/forgeset-assets beside the Server Tool.";

int usage(const std::string& problem) {
    std::printf("forgeset-assets: %s\n", problem.c_str());
    std::printf(
        "usage: forgeset-assets inspect-fbx <source folder> <inspect.json>\n"
        "       forgeset-assets prepare-textures <species.json> <source folder> <output folder>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Both commands print only a line or two, and the caller reads our output and any error
    // text through one pipe: unbuffered output keeps them in the order they were written.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage("missing command");
    const std::string& command = args[0];
    if (command == "species" || command == "export") {
        std::printf("%s\n", kNeedsGameExtractor);
        return 1;
    }
    if (command == "inspect-fbx") {
        if (args.size() != 3) return usage("inspect-fbx needs a source folder and an output file");
        return assets::inspectFbx(args[1], args[2]);
    }
    if (command == "prepare-textures") {
        if (args.size() != 4) return usage("prepare-textures needs three paths");
        return assets::prepareTextures(args[1], args[2], args[3]);
    }
    return usage("unknown command '" + command + "'");
}
