// Two costs of the species workspaces, each against a baseline measured in the same run:
//  - importing a folder of 2,000 model and texture files (1 GB, mixed sizes) against `cp -r`
//    of the same folder;
//  - the species message for 200 workspaces (a 200 KB species.json and a 6 KB build log each)
//    against only reading those files.
// The pairs are interleaved so machine noise hits both alike; medians are reported.
//
//   build/bench/species_bench [folder for the test files] [--message-only]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/outbox.h"
#include "platform/dialogs.h"
#include "species/species_message.h"
#include "species/tree_copy.h"
#include "timing.h"

namespace fs = std::filesystem;

namespace {

constexpr int kImportFiles = 2000;
constexpr std::uintmax_t kImportBytes = 1024ull * 1024 * 1024;
constexpr int kWorkspaces = 200;
constexpr std::size_t kDefinitionBytes = 200 * 1024;
constexpr std::size_t kLogBytes = 6 * 1024;

volatile std::size_t sink = 0;

class NoWindow : public platform::Window {
  public:
    void minimize() override {}
    void toggleMaximize() override {}
    void close() override {}
    void startMove() override {}
    void reloadForNewRoot() override {}
};

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Sizes from a few KB to tens of MB, as texture and model folders have, scaled to 1 GB.
void makeImportFolder(const fs::path& folder) {
    std::mt19937 random(12);
    std::lognormal_distribution<double> size(11.0, 1.6);
    std::vector<double> sizes(kImportFiles);
    double total = 0;
    for (double& s : sizes)
        total += s = size(random);
    const char* extensions[] = {".png", ".tga", ".jpg", ".fbx", ".PNG"};
    std::string block(1 << 20, '\0');
    for (char& c : block)
        c = static_cast<char>(random());
    for (int i = 0; i < kImportFiles; ++i) {
        const auto bytes = static_cast<std::size_t>(sizes[i] / total * kImportBytes);
        std::string content;
        while (content.size() < bytes)
            content.append(block, 0, std::min(block.size(), bytes - content.size()));
        const fs::path sub = folder / ("part_" + std::to_string(i % 25)) / (i % 3 ? "maps" : "");
        writeFile(sub / ("file_" + std::to_string(i) + extensions[i % 5]), content);
    }
}

void benchImport(const fs::path& work) {
    const fs::path from = work / "download";
    std::printf("writing %d files of %.0f MB in total...\n", kImportFiles,
                kImportBytes / 1048576.0);
    makeImportFolder(from);
    std::vector<double> ours, cp;
    for (int run = 0; run < 3; ++run) {
        fs::remove_all(work / "ours");
        fs::remove_all(work / "cp");
        ours.push_back(seconds(
            [&] { sink = sink + species::copyImportTree(from, work / "ours").value_or(0); }));
        const std::string command =
            "cp -r '" + from.string() + "' '" + (work / "cp").string() + "'";
        cp.push_back(seconds([&] { sink = sink + std::system(command.c_str()); }));
        std::printf("  run %d: import %.2f s, cp -r %.2f s\n", run + 1, ours.back(), cp.back());
    }
    std::printf("import of %d files, 1 GB: median %.2f s, cp -r %.2f s, ratio %.2f\n", kImportFiles,
                median(ours), median(cp), median(ours) / median(cp));
    fs::remove_all(work / "ours");
    fs::remove_all(work / "cp");
    fs::remove_all(from);
}

// A species definition as the page writes it: pretty-printed, with quotes to escape.
std::string definition(int i) {
    std::string text = "{\n  \"version\": 1,\n  \"name\": \"species_" + std::to_string(i) + "\",\n";
    text += "  \"attacks\": [\n";
    for (int a = 0; text.size() < kDefinitionBytes - 100; ++a) {
        text += "    { \"id\": \"bite_" + std::to_string(a) +
                "\", \"label\": \"Bite \\\"hard\\\"\", \"damage\": 50, \"hit\": { \"range\": 400 } "
                "},\n";
    }
    return text + "    {}\n  ]\n}\n";
}

void benchMessage(const fs::path& work) {
    const fs::path root = work / "server";
    for (int i = 0; i < kWorkspaces; ++i) {
        const fs::path ws = root / "species" / ("species_" + std::to_string(i));
        writeFile(ws / "species.json", definition(i));
        writeFile(ws / "build/build.log", std::string(kLogBytes - 1, 'x') + "\n");
    }
    bridge::Outbox outbox;
    platform::ScriptedDialogs dialogs;
    NoWindow window;
    bridge::App app(outbox, dialogs, window, {});
    const std::string speciesFolder = (root / "species").string();
    auto read = [&](const std::string& name) {
        const std::string ws = speciesFolder + "/" + name;
        return bridge::readFileBytes(ws + "/species.json").size() +
               bridge::readFileBytes(ws + "/source/inspect.json").size() +
               bridge::readFileBytes(ws + "/build/build.log").size();
    };
    // The two facts of each workspace the message reports besides its files.
    auto facts = [&](const std::string& name) {
        return bridge::fileExists(root.string() + "/client-mods/species_" + name + ".pak") +
               bridge::fileExists(speciesFolder + "/" + name + "/build/remote-job.txt");
    };
    std::vector<double> message, reading, withFacts, escaping;
    std::size_t size = 0;
    for (int run = 0; run < 21; ++run) {
        message.push_back(
            seconds([&] { size = species::buildSpeciesMessage(app, root.string()).size(); }));
        reading.push_back(seconds([&] {
            for (const std::string& name : bridge::listSubdirs(speciesFolder))
                sink = sink + read(name);
        }));
        withFacts.push_back(seconds([&] {
            for (const std::string& name : bridge::listSubdirs(speciesFolder))
                sink = sink + read(name) + facts(name);
        }));
        // Reading and escaping alone, into a string reserved ahead, to show where the
        // message's time goes.
        escaping.push_back(seconds([&] {
            std::string out;
            out.reserve(size + size / 8);
            for (const std::string& name : bridge::listSubdirs(speciesFolder)) {
                const std::string ws = speciesFolder + "/" + name;
                bridge::appendJsonEscaped(out, bridge::readFileBytes(ws + "/species.json"));
                bridge::appendJsonEscaped(out, bridge::readFileBytes(ws + "/build/build.log"));
            }
            sink = sink + out.size();
        }));
    }
    std::printf("species message, %d workspaces (%.1f MB), medians of 21 interleaved runs:\n",
                kWorkspaces, size / 1048576.0);
    std::printf("  buildSpeciesMessage          %8.1f ms\n", median(message) * 1000);
    std::printf("  reading its files           %8.1f ms\n", median(reading) * 1000);
    std::printf("  reading and its two facts   %8.1f ms   (pak and remote-job.txt checks)\n",
                median(withFacts) * 1000);
    std::printf(
        "  reading and escaping only   %8.1f ms   (readFileBytes, then "
        "appendJsonEscaped)\n",
        median(escaping) * 1000);
    std::printf("  ratio message / reading     %8.2f x   (goal: at most 3 x)\n",
                median(message) / median(reading));
    std::printf("  ratio message / (reading and facts) %.2f x\n",
                median(message) / median(withFacts));
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    const bool messageOnly = argc > 2 && std::string(argv[2]) == "--message-only";
    const fs::path work =
        fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "species-bench";
    fs::remove_all(work);
    benchMessage(work);
    if (!messageOnly) benchImport(work);
    fs::remove_all(work);
}
