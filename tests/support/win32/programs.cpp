#include "support/programs.h"

#include <filesystem>

const char* const kProgramSuffix = ".exe";

const char* const kPowerShellName = "powershell.exe";
const bool kOpensOnlyWhatExists = true;

const char* const kAssetHelperTails[3] = {
    "\\tools\\forgeset-assets.exe",
    "\\..\\tools\\assets\\bin\\Release\\net10.0\\win-x64\\forgeset-assets.exe",
    "\\..\\tools\\assets\\bin\\Release\\net10.0\\forgeset-assets.exe",
};

void placeProgram(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to + kProgramSuffix);
}

void placeFolder(const std::string& from, const std::string& to) {
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

std::string toolWithHelper(const std::string& folder) {
    const std::string tool = folder + "/forgeset-server-tool.exe";
    std::filesystem::create_directories(folder + "/tools");
    std::filesystem::copy_file(FORGESET_TOOL_PATH, tool);
    placeProgram(FORGESET_FAKE_ASSETS_PATH, folder + "/tools/forgeset-assets");
    placeFolder(std::string(FORGESET_SOURCE_DIR) + "/species-kit", folder + "/species-kit");
    return tool;
}
