#pragma once
#include <filesystem>

namespace assets {

// inspect-fbx: reads every FBX model and texture below `source` and writes what it found to
// `outFile` (inspect.json), replacing it whole. Prints a short summary. The return value is
// the process exit code; the caller's real success test is the file.
int inspectFbx(const std::filesystem::path& source, const std::filesystem::path& outFile);

}  // namespace assets
