// The commands that read the game's files: the species list and the export of one species,
// with the ways the real extraction was seen to fail.
#include <cstdio>
#include <string>
#include <vector>

#include "assets/json_document.h"
#include "fake_system.h"
#include "forgeset_assets/commands.h"
#include "forgeset_assets/fake_images.h"
#include "forgeset_assets/fake_model.h"

namespace fake_assets {

int speciesCommand() {
    std::string mode = envOr("FAKE_ASSETS_SPECIES", "list");
    const std::string names =
        "[\"Tyrannosaurus\",\"Triceratops\",\"Stegosaurus\",\"Pachycephalosaurus\","
        "\"Velociraptor\"]";
    if (mode == "list") {
        out("info: opening paks\n");
        err("warning: 2 optional paks skipped\n");
        out(names + "\n");
        out("info: 5 species\n");
    } else if (mode == "plain") {
        out(names);
    } else if (mode == "remark") {
        out("[info] opening paks\n" + names + "\nfound 5 species\n");
    } else if (mode == "unicode") {
        out("[\"Tyrannosaurus\",\"\xC3\x98rnitholestes\",\"Pteranod\\u00f3n\"]\n");
    } else if (mode == "reversed") {
        out("error] cannot read [paks\n");
    } else if (mode == "empty") {
        // Nothing at all, as when the game cannot be found.
    } else if (mode == "broken") {
        out("[oops, no list]\n");
    } else {
        return usage("unknown FAKE_ASSETS_SPECIES mode '" + mode + "'");
    }
    return 0;
}

namespace {

struct ExportFile {
    std::string file;
    std::string kind;
    Image image;
};

// A helper of the helper, holding the same output open; then sleeps for good.
int hang() {
    out("starting\n");
    long child = startCopy({kSleeperCommand});
    std::string pidFile = envOr("FAKE_ASSETS_PIDS", "");
    if (!pidFile.empty()) {
        writeFile(utf8Path(pidFile), "parent " + std::to_string(currentProcessId()) + "\nchild " +
                                         std::to_string(child) + "\n");
    }
    sleepForever();
    return 0;
}

// 20000 lines of 64 bytes, alternating between the two streams, each carrying a zero byte and
// bytes that are not UTF-8; the text never spells the success word.
int flood() {
    for (int i = 0; i < 20000; ++i) {
        char head[24];
        std::snprintf(head, sizeof head, "line %06d ", i);
        std::string line(head);
        line += std::string("\0\xFF\xFE\xC3\x28", 5);
        line.append(63 - line.size(), 'x');
        line += '\n';
        (i % 2 == 0 ? out : err)(line);
    }
    if (envOr("FAKE_ASSETS_FLOOD_DONE", "") == "1") out("done\n");
    return 0;
}

bool isSpeciesName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string infoText(const std::string& name, const std::vector<ExportFile>& files) {
    assets::Json list = assets::Json::array();
    for (const ExportFile& f : files) {
        std::string asset =
            "/Game/Dinosaurs/" + name + "/Textures/" + fs::path(f.file).stem().string();
        list.push_back({{"file", f.file}, {"kind", f.kind}, {"asset", asset}});
    }
    assets::Json info = {{"species", name}, {"files", list}, {"mesh", "mesh.glb"}};
    return assets::jsonText(info);
}

}  // namespace

int exportCommand(const std::string& name, const fs::path& outFolder) {
    std::string mode = envOr("FAKE_ASSETS_EXPORT", "ok");
    if (mode == "fail") {
        out("exporting " + name + "\n");
        err("error: could not open \"pakchunk0-Windows.pak\"\n"
            "  path: C:\\Games\\Varra\\Content\\Paks\n"
            "  reason:\tinvalid AES key\n");
        return 1;
    }
    if (mode == "hang") return hang();
    if (mode == "flood") return flood();
    bool known = mode == "ok" || mode == "capital" || mode == "inword" || mode == "nomesh" ||
                 mode == "badinfo";
    if (!known) return usage("unknown FAKE_ASSETS_EXPORT mode '" + mode + "'");
    if (!isSpeciesName(name)) {
        err("error: '" + name + "' is not a species name\n");
        return 1;
    }

    bool chatty = mode != "capital";
    auto progress = [&](const std::string& line) {
        if (chatty) out(line + "\n");
    };
    progress("exporting " + name);
    std::error_code ec;
    fs::create_directories(outFolder, ec);
    if (ec || !fs::is_directory(outFolder)) {
        err("error: cannot create " + outFolder.string() + "\n");
        return 1;
    }
    auto fail = [&](const std::string& file) {
        err("error: cannot write " + (outFolder / file).string() + "\n");
        return 1;
    };

    if (mode != "nomesh") {
        progress("writing mesh.glb");
        if (!writeFile(outFolder / "mesh.glb", encodeGlb(name))) return fail("mesh.glb");
    }
    std::vector<ExportFile> files;
    files.push_back({name + "_Adult_Pattern_1.png", "pattern", adultPattern(256)});
    files.push_back({name + "_Juvenile_Pattern_1.png", "pattern", juvenilePattern(256)});
    files.push_back({name + "_RAC.png", "rac", racImage(128)});
    files.push_back({name + "_Mask.png", "mask", maskImage(128)});
    for (const ExportFile& f : files) {
        progress("writing " + f.file);
        if (!writeFile(outFolder / f.file, pngBytes(f.image))) return fail(f.file);
    }

    progress("writing info.json");
    std::string info = infoText(name, files);
    if (mode == "badinfo") info = info.substr(0, info.size() / 2);
    if (!writeFile(outFolder / "info.json", info)) return fail("info.json");

    if (mode == "capital") {
        out("Done\n");
    } else if (mode == "inword") {
        out("finished, nothing abandoned\n");
    } else {
        out("done\n");
    }
    return 0;
}

}  // namespace fake_assets
