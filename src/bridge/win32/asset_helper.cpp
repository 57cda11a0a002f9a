#include "bridge/asset_helper.h"

#include "bridge/files.h"

namespace bridge {

std::string findAssetHelper(const std::string& programFolder) {
    // Installed layout first, then the two outputs of a development build: the
    // platform-specific one and the portable one.
    static const char* const tails[] = {
        "\\tools\\forgeset-assets.exe",
        "\\..\\tools\\assets\\bin\\Release\\net10.0\\win-x64\\forgeset-assets.exe",
        "\\..\\tools\\assets\\bin\\Release\\net10.0\\forgeset-assets.exe",
    };
    for (const char* tail : tails) {
        std::string candidate = programFolder + tail;
        if (fileExists(candidate)) return candidate;
    }
    return {};
}

}  // namespace bridge
