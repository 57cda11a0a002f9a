#include "support/programs.h"

#include <filesystem>

const char* const kProgramSuffix = "";

const char* const kPowerShellName = "PowerShell 7 (pwsh)";
const bool kOpensOnlyWhatExists = false;

const char* const kAssetHelperTails[3] = {
    "/tools/forgeset-assets",
    "/../tools/assets/bin/Release/net10.0/linux-x64/forgeset-assets",
    "/../tools/assets/bin/Release/net10.0/forgeset-assets",
};

void placeProgram(const std::string& from, const std::string& to) {
    std::filesystem::create_symlink(from, to);
}

void placeFolder(const std::string& from, const std::string& to) {
    std::filesystem::create_directory_symlink(from, to);
}

std::string toolWithHelper(const std::string&) {
    return FORGESET_TOOL_PATH;
}
