#include "species/workspace.h"

#include "bridge/files.h"

namespace species {

bool isSpeciesName(std::string_view name) {
    // Every allowed character is ASCII, so bytes and characters count alike.
    if (name.empty() || name.size() > 32 || name.front() == '_') return false;
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!allowed) return false;
    }
    return true;
}

std::string speciesFolder(const std::string& root) {
    return root + "/species";
}

std::string workspaceFolder(const std::string& root, const std::string& name) {
    return speciesFolder(root) + "/" + name;
}

std::string findSpeciesKit(const std::string& programFolder) {
    for (const char* tail : {"/species-kit", "/../species-kit"}) {
        std::string candidate = programFolder + tail;
        if (bridge::folderExists(candidate)) return candidate;
    }
    return {};
}

}  // namespace species
