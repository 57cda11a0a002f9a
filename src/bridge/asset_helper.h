#pragma once
#include <string>

namespace bridge {

// The asset helper tool beside the program (`programFolder` is the folder of the running
// executable): tools/forgeset-assets when installed, else the build outputs of a development
// tree. Looked up anew on every call, so a helper added or removed meanwhile is seen. Empty
// when none exists as a file. The studio and the species import both run it.
std::string findAssetHelper(const std::string& programFolder);

// The notice of every command that needs the helper when it is missing.
inline constexpr const char* kHelperMissing = "forgeset-assets.exe not found next to the tool.";

}  // namespace bridge
