#include "assets/inspect.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "assets/fbx_facts.h"
#include "assets/json_writer.h"
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

void writeAnimations(JsonWriter& json, const std::vector<ModelFile>& models, size_t& count) {
    std::set<std::string> ids;
    json.key("animations").beginArray();
    for (const ModelFile& m : models) {
        bool single = m.facts.clips.size() == 1;
        for (const ClipFacts& clip : m.facts.clips) {
            // A file of one clip is named for it; its take is usually "Take 001" or the like.
            // In a file of many, each clip's own name is all that tells them apart.
            std::string name = single ? stemOf(m.file) : clipShortName(clip.name);
            auto suggestion = suggestRole(name);
            if (single && !suggestion) suggestion = suggestRole(clipShortName(clip.name));
            json.beginObject().member("file", m.file).member("id", uniqueId(ruleId(name), ids));
            json.member("seconds", clip.seconds);
            if (suggestion) {
                json.key("suggest").beginObject().member("role", suggestion->role);
                json.member("x", suggestion->x).member("y", suggestion->y).endObject();
            }
            json.endObject();
            ++count;
        }
    }
    json.endArray();
}

void writeMesh(JsonWriter& json, const ModelFile* mesh) {
    json.key("mesh").beginObject().member("file", mesh != nullptr ? mesh->file : std::string());
    json.member("triangles", mesh != nullptr ? mesh->facts.triangles : 0LL);
    json.member("bones", mesh != nullptr ? mesh->facts.bones : 0);
    json.member("lengthCm", mesh != nullptr ? mesh->facts.lengthCm : 0.0);
    json.key("materials").beginArray();
    if (mesh != nullptr) {
        for (const MaterialFacts& m : mesh->facts.materials)
            json.value(m.name);
    }
    json.endArray().endObject();
}

void writeTextures(JsonWriter& json, const std::vector<TextureEntry>& textures) {
    json.key("textures").beginArray();
    for (const TextureEntry& t : textures) {
        json.beginObject().member("slot", t.slot).member("type", t.type).member("file", t.file);
        json.member("width", t.width).member("height", t.height).endObject();
    }
    json.endArray();
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

    JsonWriter json;
    size_t clips = 0;
    json.beginObject();
    writeMesh(json, mesh);
    writeAnimations(json, models, clips);
    writeTextures(json, survey.textures);
    json.key("warnings").beginArray();
    for (const std::string& w : warnings)
        json.value(w);
    json.endArray().endObject();

    if (std::string error = writeFileAtomically(outFile, json.text()); !error.empty()) {
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
