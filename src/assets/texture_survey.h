#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "assets/fbx_facts.h"

namespace assets {

namespace fs = std::filesystem;

struct TextureEntry {
    std::string slot;
    std::string type;
    std::string file;  // relative to the source folder, forward slashes
    int width = 0;
    int height = 0;
};

struct TextureSurvey {
    std::vector<TextureEntry> textures;
    std::vector<std::string> warnings;
};

// Sizes of the image files (from their headers only), the slot and type of each (from the
// model's material that uses it, else from the file name), and what the owner should fix:
// sizes the game handles badly, and textures a material names that are not in the folder.
TextureSurvey surveyTextures(const fs::path& source, const std::vector<std::string>& images,
                             const std::vector<MaterialFacts>& materials);

}  // namespace assets
