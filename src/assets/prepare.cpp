#include "assets/prepare.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "assets/confined_path.h"
#include "assets/images.h"
#include "assets/json_document.h"
#include "assets/parallel.h"
#include "assets/source_files.h"

namespace assets {

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultMaxSize = 2048;

// One texture file as the definition names it: `source.textures[]` holds a `slot` and one
// member per texture type naming its file.
struct TextureJob {
    std::string slot;
    std::string type;
    std::string file;  // as named, relative to the source folder
    fs::path sourcePath;
    std::string output;  // relative to the output folder
    ImageSize written;
    std::string error;
};

struct Definition {
    std::vector<TextureJob> jobs;
    int maxSize = kDefaultMaxSize;
};

// Types whose pixels are colours; the rest (normals, masks, roughness) hold numbers.
bool isColourType(const std::string& type) {
    return type == "diffuse" || type == "emissive" || type == "basecolor" || type == "albedo";
}

// The definition's textures and size limit, or an error line.
std::string readDefinition(const fs::path& speciesJson, Definition& definition) {
    std::optional<std::string> text = readWholeFile(speciesJson);
    if (!text) return "Cannot read the species definition " + speciesJson.string() + ".";
    std::optional<Json> document = parseJson(*text);
    if (!document) return "The species definition " + speciesJson.string() + " is not valid JSON.";
    if (!document->is_object()) return {};
    auto source = document->find("source");
    if (source == document->end() || !source->is_object()) return {};
    if (auto max = source->find("maxTextureSize");
        max != source->end() && max->is_number() && max->get<double>() >= 1) {
        definition.maxSize =
            static_cast<int>(std::min<double>(max->get<double>(), kMaxDecodedSide));
    }
    auto textures = source->find("textures");
    if (textures == source->end() || !textures->is_array()) return {};
    for (const Json& entry : *textures) {
        if (!entry.is_object()) continue;
        auto slot = entry.find("slot");
        std::string slotName =
            slot != entry.end() && slot->is_string() ? slot->get<std::string>() : "";
        for (const auto& member : entry.items()) {
            const Json& file = member.value();
            if (member.key() == "slot" || !file.is_string() ||
                file.get_ref<const std::string&>().empty())
                continue;
            TextureJob& job = definition.jobs.emplace_back();
            job.slot = slotName;
            job.type = member.key();
            job.file = file.get<std::string>();
        }
    }
    return {};
}

std::string describe(const TextureJob& job) {
    return "Texture \"" + job.file + "\" (slot " + job.slot + ", " + job.type + ")";
}

// Checks every named file before any work, so a definition with one bad entry fails at once
// and names that entry. Also picks each output name: the source's path with a .png extension,
// numbered when two sources would share one ("Body.tga" and "Body.png").
std::string locateTextures(const fs::path& source, std::vector<TextureJob>& jobs) {
    std::set<std::string> outputs;
    for (TextureJob& job : jobs) {
        ConfinedPath where = confinedPath(source, job.file);
        if (where.status == ConfinedPath::Status::Outside)
            return describe(job) + " lies outside the source folder and was refused.";
        std::error_code ec;
        if (where.status == ConfinedPath::Status::Missing || !fs::is_regular_file(where.path, ec))
            return describe(job) + " is missing from the source folder.";
        ImageHeader header = readImageHeader(where.path);
        if (!header.ok || header.tooLarge) return describe(job) + " " + headerProblem(header) + ".";
        job.sourcePath = where.path;
        fs::path relative = where.path.lexically_relative(source);
        std::string base = relative.replace_extension().generic_string();
        job.output = base + ".png";
        for (int n = 2; !outputs.insert(job.output).second; ++n)
            job.output = base + "_" + std::to_string(n) + ".png";
    }
    return {};
}

std::string manifestText(const Definition& definition) {
    Json textures = Json::array();
    for (const TextureJob& job : definition.jobs) {
        Json& entry = textures.emplace_back(Json::object());
        entry["slot"] = job.slot;
        entry["type"] = job.type;
        entry["source"] = job.file;
        entry["file"] = job.output;
        entry["width"] = job.written.width;
        entry["height"] = job.written.height;
    }
    Json manifest = Json::object();
    manifest["maxTextureSize"] = definition.maxSize;
    manifest["textures"] = std::move(textures);
    return jsonText(manifest);
}

int fail(const std::string& line) {
    std::printf("%s\n", line.c_str());
    return 1;
}

}  // namespace

int prepareTextures(const fs::path& speciesJson, const fs::path& source,
                    const fs::path& outFolder) {
    // A manifest from an earlier run would pass for this run's success.
    std::error_code ec;
    fs::path manifest = outFolder / "manifest.json";
    fs::remove(manifest, ec);
    if (fs::exists(manifest, ec)) return fail("Cannot remove the old " + manifest.string() + ".");

    Definition definition;
    if (std::string error = readDefinition(speciesJson, definition); !error.empty())
        return fail(error);
    if (std::string error = locateTextures(source, definition.jobs); !error.empty())
        return fail(error);
    fs::create_directories(outFolder, ec);
    if (!fs::is_directory(outFolder, ec)) return fail("Cannot create " + outFolder.string() + ".");

    std::vector<TextureJob>& jobs = definition.jobs;
    forEachIndex(jobs.size(), [&](size_t i) {
        TextureJob& job = jobs[i];
        fs::path target = outFolder / job.output;
        std::error_code dirError;
        fs::create_directories(target.parent_path(), dirError);
        std::string error = writeScaledPng(job.sourcePath, target, definition.maxSize,
                                           isColourType(job.type), job.written);
        if (!error.empty()) job.error = describe(job) + " " + error + ".";
    });
    for (const TextureJob& job : jobs) {
        if (!job.error.empty()) return fail(job.error);
    }
    if (std::string error = writeFileAtomically(manifest, manifestText(definition)); !error.empty())
        return fail("Cannot write manifest.json: " + error + ".");
    std::printf("Prepared %zu textures (at most %d pixels a side) and wrote manifest.json.\n",
                jobs.size(), definition.maxSize);
    return 0;
}

}  // namespace assets
