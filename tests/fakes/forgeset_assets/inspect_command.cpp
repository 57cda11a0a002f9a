// inspect-fbx without reading a model: the fake goes by the folder's file names, as the real
// helper names and links animations by theirs, and makes up what only a model could tell
// (triangles, bones, clip lengths). Names, role suggestions, textures and the JSON are the real
// helper's.
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "assets/json_document.h"
#include "assets/naming.h"
#include "assets/source_files.h"
#include "assets/texture_survey.h"
#include "forgeset_assets/commands.h"
#include "platform/ascii.h"

namespace fake_assets {

namespace {

using assets::Json;

std::string stemOf(const std::string& relative) {
    return fs::path(relative).stem().string();
}

bool mentionsAnimation(const std::string& relative) {
    return platform::lowerAsciiText(fs::path(relative).filename().string()).find("anim") !=
           std::string::npos;
}

// The model is the first file that neither says "anim" nor names a motion; failing that the
// first without "anim", failing that the first of all.
std::string chooseMesh(const std::vector<std::string>& models) {
    for (const std::string& f : models) {
        if (!mentionsAnimation(f) && !assets::suggestRole(stemOf(f))) return f;
    }
    for (const std::string& f : models) {
        if (!mentionsAnimation(f)) return f;
    }
    return models.empty() ? std::string() : models.front();
}

// A made-up clip length, so that the timeline has something plausible to show.
double clipSeconds(const std::string& role, uintmax_t bytes) {
    static const std::map<std::string, double> typical = {
        {"idle", 4.0}, {"walk", 1.2},     {"trot", 0.9},      {"run", 0.7},
        {"swim", 1.6}, {"swimFast", 1.0}, {"swimIdle", 3.0},  {"swimBack", 1.6},
        {"eat", 2.5},  {"drink", 3.0},    {"call", 2.2},      {"rest", 5.0},
        {"hit", 0.6},  {"death", 2.0},    {"deathPose", 1.0}, {"attack", 1.4},
    };
    auto it = typical.find(role);
    if (it != typical.end()) return it->second;
    return 1.0 + static_cast<double>(bytes % 200) / 100.0;
}

uintmax_t sizeOf(const fs::path& file) {
    std::error_code ec;
    uintmax_t bytes = fs::file_size(file, ec);
    return ec ? uintmax_t{0} : bytes;
}

// Made-up numbers that grow with the file, and the texture slots for material names.
Json meshJson(const fs::path& srcFolder, const std::string& meshFile,
              const std::vector<assets::TextureEntry>& textures) {
    std::vector<std::string> slots;
    for (const assets::TextureEntry& t : textures) {
        if (std::find(slots.begin(), slots.end(), t.slot) == slots.end()) slots.push_back(t.slot);
    }
    if (slots.empty() && !meshFile.empty()) slots.push_back("Body");
    uintmax_t bytes = meshFile.empty() ? 0 : sizeOf(srcFolder / meshFile);
    Json mesh = Json::object();
    mesh["file"] = meshFile;
    mesh["triangles"] =
        meshFile.empty() ? 0 : static_cast<int>(std::max<uintmax_t>(12, bytes / 48));
    mesh["bones"] = meshFile.empty() ? 0 : 48 + static_cast<int>(bytes % 40);
    mesh["lengthCm"] = assets::roundedNumber(meshFile.empty() ? 0.0 : 420.0);
    mesh["materials"] = slots;
    return mesh;
}

Json animationsJson(const fs::path& srcFolder, const std::vector<std::string>& models,
                    const std::string& meshFile) {
    Json animations = Json::array();
    std::set<std::string> ids;
    for (const std::string& f : models) {
        if (f == meshFile) continue;
        std::string stem = stemOf(f);
        std::optional<assets::RoleSuggestion> suggestion = assets::suggestRole(stem);
        Json& entry = animations.emplace_back(Json::object());
        entry["file"] = f;
        entry["id"] = assets::uniqueId(assets::ruleId(stem), ids);
        entry["seconds"] = assets::roundedNumber(
            clipSeconds(suggestion ? suggestion->role : "", sizeOf(srcFolder / f)));
        if (suggestion) {
            entry["suggest"] = {{"role", suggestion->role},
                                {"x", assets::roundedNumber(suggestion->x)},
                                {"y", assets::roundedNumber(suggestion->y)}};
        }
    }
    return animations;
}

Json texturesJson(const std::vector<assets::TextureEntry>& textures) {
    Json list = Json::array();
    for (const assets::TextureEntry& t : textures) {
        list.push_back({{"slot", t.slot},
                        {"type", t.type},
                        {"file", t.file},
                        {"width", t.width},
                        {"height", t.height}});
    }
    return list;
}

}  // namespace

int inspectCommand(const fs::path& srcFolder, const fs::path& outFile) {
    out("inspecting " + srcFolder.string() + "\n");
    if (envOr("FAKE_ASSETS_INSPECT", "ok") == "fail") {
        err("error: FBX SDK could not read the scene (unsupported version 6100)\n");
        return 1;
    }
    std::vector<std::string> warnings;
    std::error_code ec;
    if (!fs::is_directory(srcFolder, ec)) warnings.push_back("The source folder does not exist.");

    assets::SourceListing listing =
        assets::listSourceFiles(srcFolder, {".fbx", ".png", ".tga", ".jpg", ".jpeg"});
    std::vector<std::string> models, images;
    for (const std::string& f : listing.files)
        (assets::lowerExtension(f) == ".fbx" ? models : images).push_back(f);
    std::string meshFile = chooseMesh(models);
    if (models.empty()) warnings.push_back("No FBX file was found; import a model first.");
    // Without a model to name materials, slots and types come from the file names alone.
    assets::TextureSurvey survey = assets::surveyTextures(srcFolder, images, {});
    warnings.insert(warnings.end(), survey.warnings.begin(), survey.warnings.end());
    for (const std::string& link : listing.links)
        warnings.push_back(link + " is a link and was not followed.");

    Json inspection = Json::object();
    inspection["mesh"] = meshJson(srcFolder, meshFile, survey.textures);
    inspection["animations"] = animationsJson(srcFolder, models, meshFile);
    inspection["textures"] = texturesJson(survey.textures);
    inspection["warnings"] = warnings;
    if (!writeFile(outFile, assets::jsonText(inspection))) {
        err("error: cannot write " + outFile.string() + "\n");
        return 1;
    }
    out("wrote " + outFile.string() + "\n");
    return 0;
}

}  // namespace fake_assets
