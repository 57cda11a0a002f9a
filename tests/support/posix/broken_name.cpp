#include "support/broken_name.h"

#include <filesystem>
#include <fstream>

bool makeEntryWithBrokenName(const std::string& folder, const std::string& before,
                             const std::string& after, bool asFolder) {
    const std::string path = folder + "/" + before + "\xFF" + after;
    std::filesystem::create_directories(asFolder ? path : folder);
    if (!asFolder) std::ofstream(path, std::ios::binary) << "";
    return std::filesystem::exists(path);
}
