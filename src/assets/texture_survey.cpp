#include "assets/texture_survey.h"

#include <map>

#include "assets/images.h"
#include "assets/naming.h"
#include "assets/source_files.h"
#include "platform/ascii.h"

namespace assets {

namespace {

// The game streams textures in power-of-two mip levels and its largest is 4096.
constexpr int kLargestGameTexture = 4096;

bool isPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Materials name textures by a path from the artist's machine, in either slash style; only the
// file name can be matched against the folder.
std::string fileNameOf(const std::string& reference) {
    size_t cut = reference.find_last_of("/\\");
    return cut == std::string::npos ? reference : reference.substr(cut + 1);
}

struct MaterialUse {
    std::string material;
    std::string type;
};

void checkSize(const TextureEntry& t, std::vector<std::string>& warnings) {
    std::string size = std::to_string(t.width) + " x " + std::to_string(t.height);
    if (!isPowerOfTwo(t.width) || !isPowerOfTwo(t.height))
        warnings.push_back(t.file + " is " + size + ", not a power of two on each side.");
    if (t.width > kLargestGameTexture || t.height > kLargestGameTexture)
        warnings.push_back(t.file + " is " + size + ", larger than the game's 4096.");
}

}  // namespace

TextureSurvey surveyTextures(const fs::path& source, const std::vector<std::string>& images,
                             const std::vector<MaterialFacts>& materials) {
    // File name (any case) -> the first material that uses it.
    std::map<std::string, MaterialUse> uses;
    for (const MaterialFacts& m : materials) {
        for (const MaterialFacts::Texture& t : m.textures)
            uses.try_emplace(platform::lowerAsciiText(fileNameOf(t.reference)),
                             MaterialUse{m.name, t.type});
    }
    std::map<std::string, bool> found;
    TextureSurvey survey;
    for (const std::string& file : images) {
        std::string name = platform::lowerAsciiText(fs::path(file).filename().string());
        std::string stem = fs::path(file).stem().string();
        TextureEntry entry{slotFromName(stem), textureTypeFromName(stem), file};
        if (auto use = uses.find(name); use != uses.end()) {
            found[name] = true;
            entry.slot = use->second.material;
            if (entry.type.empty()) entry.type = use->second.type;
        }
        if (entry.type.empty()) entry.type = "diffuse";
        ImageHeader header = readImageHeader(source / file);
        if (header.ok) {
            entry.width = header.width;
            entry.height = header.height;
            checkSize(entry, survey.warnings);
        } else {
            survey.warnings.push_back(file + " " + headerProblem(header) + ".");
        }
        survey.textures.push_back(entry);
    }
    for (const MaterialFacts& m : materials) {
        for (const MaterialFacts::Texture& t : m.textures) {
            std::string name = platform::lowerAsciiText(fileNameOf(t.reference));
            if (found.count(name) != 0) continue;
            found[name] = true;  // one warning per missing file
            survey.warnings.push_back("Material \"" + m.name + "\" uses " +
                                      fileNameOf(t.reference) + ", which is not in the folder.");
        }
    }
    return survey;
}

}  // namespace assets
