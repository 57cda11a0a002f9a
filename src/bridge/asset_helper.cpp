#include "bridge/asset_helper.h"

#include "bridge/files.h"

namespace bridge {

std::string findAssetHelper(const std::string& programFolder) {
    // Installed layout first, then the two outputs of a development build: the
    // platform-specific one (linux-x64 here, as the helper's Linux build names it) and the
    // portable one.
    static const char* const tails[] = {
        "/tools/forgeset-assets",
        "/../tools/assets/bin/Release/net10.0/linux-x64/forgeset-assets",
        "/../tools/assets/bin/Release/net10.0/forgeset-assets",
    };
    for (const char* tail : tails) {
        std::string candidate = programFolder + tail;
        if (fileExists(candidate)) return candidate;
    }
    return {};
}

}  // namespace bridge
