// prepare-textures without converting anything: the fake copies the source folder's PNG files
// as they are, adds a generated mask and lists what it wrote in manifest.json.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "assets/json_document.h"
#include "assets/source_files.h"
#include "forgeset_assets/commands.h"
#include "forgeset_assets/fake_images.h"

namespace fake_assets {

namespace {

// The definition's top-level "name", read as the real helper reads the definition; nothing
// when the file cannot be read or names none.
std::optional<std::string> speciesName(const fs::path& speciesJson) {
    std::optional<std::string> text = assets::readWholeFile(speciesJson);
    if (!text) return std::nullopt;
    std::optional<assets::Json> document = assets::parseJson(*text);
    if (!document || !document->is_object()) return std::nullopt;
    auto name = document->find("name");
    if (name == document->end() || !name->is_string()) return std::nullopt;
    return name->get<std::string>();
}

int failPrepare() {
    err("error: texture conversion failed\n");
    for (int i = 1; i <= 8; ++i) {
        err("  at Forgeset.Textures.Convert(\"T_Body_D.png\") step " + std::to_string(i) +
            ": \\\\?\\ path too long\n");
    }
    return 1;
}

}  // namespace

int prepareCommand(const fs::path& speciesJson, const fs::path& sourceFolder,
                   const fs::path& outFolder) {
    if (envOr("FAKE_ASSETS_PREPARE", "ok") == "fail") return failPrepare();
    std::optional<std::string> name = speciesName(speciesJson);
    out("preparing textures" + (name ? " for " + *name : std::string()) + "\n");
    if (!name) err("warning: no species name in " + speciesJson.string() + "\n");

    std::error_code ec;
    if (!fs::is_directory(sourceFolder, ec)) {
        err("warning: " + sourceFolder.string() + " is not a folder, no textures to copy\n");
    }
    std::vector<std::string> pngs = assets::listSourceFiles(sourceFolder, {".png"}).files;
    fs::create_directories(outFolder, ec);
    if (ec || !fs::is_directory(outFolder)) {
        err("error: cannot create " + outFolder.string() + "\n");
        return 1;
    }

    std::vector<std::pair<std::string, uintmax_t>> written;
    for (const std::string& f : pngs) {
        fs::path target = outFolder / f;
        fs::create_directories(target.parent_path(), ec);
        fs::copy_file(sourceFolder / f, target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            err("error: cannot copy " + f + "\n");
            return 1;
        }
        out("copied " + f + "\n");
        written.emplace_back(f, fs::file_size(target, ec));
    }
    // A neutral mask for the build, which expects one per species even when none was painted.
    const std::string generated = "generated_mask.png";
    std::string mask = pngBytes(Image(64, 64, 3));
    if (!writeFile(outFolder / generated, mask)) {
        err("error: cannot write " + generated + "\n");
        return 1;
    }
    out("generated " + generated + "\n");
    written.emplace_back(generated, mask.size());
    std::sort(written.begin(), written.end());

    assets::Json textures = assets::Json::array();
    for (const auto& [file, bytes] : written)
        textures.push_back({{"file", file}, {"bytes", bytes}});
    assets::Json manifest = {{"textures", textures}};
    if (name) manifest["species"] = *name;
    if (!writeFile(outFolder / "manifest.json", assets::jsonText(manifest))) {
        err("error: cannot write manifest.json\n");
        return 1;
    }
    out("wrote manifest.json, done\n");
    return 0;
}

}  // namespace fake_assets
