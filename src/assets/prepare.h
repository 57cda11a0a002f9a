#pragma once
#include <filesystem>

namespace assets {

// prepare-textures: scales every texture that the species definition names (below `source`)
// down to the definition's maximum size, writes them as PNG into `outFolder`, and writes
// manifest.json there last, so that its presence means every texture was prepared. A texture
// that is missing, unreadable or outside `source` fails the whole command with one line naming
// it. The return value is the process exit code.
int prepareTextures(const std::filesystem::path& speciesJson, const std::filesystem::path& source,
                    const std::filesystem::path& outFolder);

}  // namespace assets
