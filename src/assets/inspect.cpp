#include "assets/inspect.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "assets/fbx_facts.h"
#include "assets/json_document.h"
#include "assets/naming.h"
#include "assets/parallel.h"
#include "assets/source_files.h"
#include "assets/texture_survey.h"

namespace assets {

namespace {

struct ModelFile {
    std::string file;  // relative to the source folder
    FbxFacts facts;
};

std::string stemOf(const std::string& file) {
    return fs::path(file).stem().string();
}

// The species' model: a skinned mesh before a static one, then the most triangles. Among equals
// (animation files often carry the whole skinned mesh) a file whose name names no motion wins
// ("Rex.fbx" before "Rex_Walk.fbx"), then one nearer the top of the folder (animations tend to
// sit in a sub-folder), then the one with fewer clips, then the first by name.
const ModelFile* chooseMesh(const std::vector<ModelFile>& models) {
    const ModelFile* best = nullptr;
    auto rank = [](const ModelFile& m) {
        auto depth = std::count(m.file.begin(), m.file.end(), '/');
        return std::make_tuple(m.facts.bones > 0, m.facts.triangles,
                               !suggestRole(stemOf(m.file)).has_value(), -depth,
                               -static_cast<long long>(m.facts.clips.size()));
    };
    for (const ModelFile& m : models) {
        if (!m.facts.read || m.facts.triangles == 0) continue;
        if (best == nullptr || rank(m) > rank(*best)) best = &m;
    }
    return best;
}

// The clip's own name without the take or armature prefix exporters add ("Armature|Walk").
std::string clipShortName(const std::string& clip) {
    size_t bar = clip.find_last_of('|');
    return bar == std::string::npos ? clip : clip.substr(bar + 1);
}

Json animationsJson(const std::vector<ModelFile>& models) {
    std::set<std::string> ids;
    Json animations = Json::array();
    for (const ModelFile& m : models) {
        bool single = m.facts.clips.size() == 1;
        for (const ClipFacts& clip : m.facts.clips) {
            // A file of one clip is named for it; its take is usually "Take 001" or the like.
            // In a file of many, each clip's own name is all that tells them apart.
            std::string name = single ? stemOf(m.file) : clipShortName(clip.name);
            auto suggestion = suggestRole(name);
            if (single && !suggestion) suggestion = suggestRole(clipShortName(clip.name));
            Json& entry = animations.emplace_back(Json::object());
            entry["file"] = m.file;
            entry["id"] = uniqueId(ruleId(name), ids);
            entry["seconds"] = roundedNumber(clip.seconds);
            if (suggestion) {
                Json& suggest = entry["suggest"] = Json::object();
                suggest["role"] = suggestion->role;
                suggest["x"] = roundedNumber(suggestion->x);
                suggest["y"] = roundedNumber(suggestion->y);
            }
        }
    }
    return animations;
}

Json meshJson(const ModelFile* mesh) {
    Json json = Json::object();
    json["file"] = mesh != nullptr ? mesh->file : std::string();
    json["triangles"] = mesh != nullptr ? mesh->facts.triangles : 0LL;
    json["bones"] = mesh != nullptr ? mesh->facts.bones : 0;
    json["lengthCm"] = roundedNumber(mesh != nullptr ? mesh->facts.lengthCm : 0.0);
    Json& materials = json["materials"] = Json::array();
    if (mesh != nullptr) {
        for (const MaterialFacts& m : mesh->facts.materials)
            materials.push_back(m.name);
    }
    return json;
}

Json texturesJson(const std::vector<TextureEntry>& textures) {
    Json json = Json::array();
    for (const TextureEntry& t : textures) {
        Json& entry = json.emplace_back(Json::object());
        entry["slot"] = t.slot;
        entry["type"] = t.type;
        entry["file"] = t.file;
        entry["width"] = t.width;
        entry["height"] = t.height;
    }
    return json;
}

std::vector<std::string> modelWarnings(const std::vector<ModelFile>& models,
                                       const ModelFile* mesh) {
    std::vector<std::string> warnings;
    for (const ModelFile& m : models) {
        if (!m.facts.read) warnings.push_back(m.file + " could not be read: " + m.facts.error);
    }
    if (models.empty()) warnings.push_back("No FBX file was found.");
    if (!models.empty() && mesh == nullptr) warnings.push_back("No FBX file holds a mesh.");
    if (mesh != nullptr && mesh->facts.bones == 0)
        warnings.push_back(mesh->file + " has a mesh without bones: it cannot be animated.");
    return warnings;
}

}  // namespace

int inspectFbx(const fs::path& source, const fs::path& outFile) {
    std::error_code ec;
    if (!fs::is_directory(source, ec)) {
        std::printf("inspect-fbx: %s is not a folder.\n", source.c_str());
        return 1;
    }
    SourceListing listing = listSourceFiles(source, {".fbx", ".png", ".tga", ".jpg", ".jpeg"});
    std::vector<ModelFile> models;
    std::vector<std::string> images;
    for (const std::string& file : listing.files) {
        if (lowerExtension(file) == ".fbx") {
            models.push_back({file, {}});
        } else {
            images.push_back(file);
        }
    }
    forEachIndex(models.size(),
                 [&](size_t i) { models[i].facts = readFbxFacts(source / models[i].file); });

    const ModelFile* mesh = chooseMesh(models);
    std::vector<std::string> warnings = modelWarnings(models, mesh);
    TextureSurvey survey = surveyTextures(
        source, images, mesh != nullptr ? mesh->facts.materials : std::vector<MaterialFacts>{});
    warnings.insert(warnings.end(), survey.warnings.begin(), survey.warnings.end());
    for (const std::string& link : listing.links)
        warnings.push_back(link + " is a link and was not followed.");

    Json json = Json::object();
    json["mesh"] = meshJson(mesh);
    json["animations"] = animationsJson(models);
    json["textures"] = texturesJson(survey.textures);
    json["warnings"] = warnings;
    size_t clips = json["animations"].size();

    if (std::string error = writeFileAtomically(outFile, jsonText(json)); !error.empty()) {
        std::printf("inspect-fbx: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "Inspected %zu FBX files and %zu textures. Model: %s; animations: %zu; warnings: %zu.\n",
        models.size(), images.size(), mesh != nullptr ? mesh->file.c_str() : "(none)", clips,
        warnings.size());
    return 0;
}

}  // namespace assets
