// How long the state message takes for a big server folder, against the bare cost of reading
// the files it embeds, and of that and asking the file system the facts it reports; and how
// fast the JSON escaper runs against a plain copy of the same bytes. Each figure is measured
// interleaved with its baselines in one run, so machine noise hits them alike.
//
//   build/bench/state_bench [runs]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bridge/files.h"
#include "bridge/json_write.h"
#include "platform/files.h"
#include "platform/folder_lookup.h"
#include "server/state.h"
#include "timing.h"

namespace fs = std::filesystem;

namespace {

constexpr int kResources = 2000;
constexpr int kTextures = 1000;
constexpr std::size_t kAiBytes = 5 * 1024 * 1024;
constexpr std::size_t kSkinsBytes = 2 * 1024 * 1024;
constexpr std::size_t kEscapeBytes = 50 * 1024 * 1024;

// Keeps results alive so the compiler cannot drop the work being timed.
volatile std::size_t sink = 0;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

std::string resourceName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "resource_%04d", i);
    return name;
}

// An AI document as the page writes it: two blanks per level, quoted keys, notes with quotes,
// backslashes and text beyond ASCII.
std::string aiDocument(const char* listName, std::size_t atLeast) {
    std::string text = "{\n  \"version\": 1,\n  \"" + std::string(listName) + "\": {\n";
    for (int i = 0; text.size() < atLeast; ++i) {
        text += "    \"brain_" + std::to_string(i) + "\": {\n";
        text += "      \"species\": \"Velociraptor\",\n";
        text += "      \"note\": \"Jagt im Rudel, \\\"schnell\\\" und scheu – 恐竜 #" +
                std::to_string(i) + "\",\n";
        text += "      \"path\": \"data\\\\ai\\\\packs\\\\pack" + std::to_string(i % 17) + "\",\n";
        text += "      \"aggro\": " + std::to_string(i % 97) + ",\n";
        text += "      \"senses\": { \"sight\": 40.5, \"smell\": 120, \"hearing\": 75.25 },\n";
        text += "      \"states\": [\"idle\", \"wander\", \"hunt\", \"flee\"]\n";
        text += "    },\n";
    }
    text += "    \"last\": {}\n  }\n}\n";
    return text;
}

// skins.json as the page writes it: a pretty-printed JSON array of skin objects.
std::string skinsDocument(std::size_t atLeast) {
    std::string text = "[\n";
    for (int i = 0; text.size() < atLeast; ++i) {
        if (i) text += ",\n";
        text += "  {\n    \"name\": \"skin_" + std::to_string(i) + "\",\n";
        text += "    \"species\": \"Tyrannosaurus\",\n";
        text += "    \"label\": \"Grün \\\"Neon\\\" Ärger\",\n";
        text += "    \"admin\": " + std::string(i % 5 ? "false" : "true") + ",\n";
        text += "    \"body\": [0.0, 4.0, 4.0],\n    \"flank\": [0.0, 2.5, 4.0],\n";
        text += "    \"markings\": \"#C41E1E\",\n    \"texture\": \"tex_" +
                std::to_string(i % 1000) + ".png\"\n  }";
    }
    text += "\n]\n";
    return text;
}

void makeServerFolder(const std::string& root) {
    fs::create_directories(root + "/data/ai");
    fs::create_directories(root + "/resources/skins/textures");
    std::string cfg =
        "# Varra server\nsv_hostname Bench Server\nsv_maxplayers 64\nsv_map island\n"
        "sv_port 7777\nsv_httpport 8080\nsv_scriptport 8081\nsv_publicip 203.0.113.7\n"
        "sv_admins 76561198000000000\nsv_gamedir game\nsv_rconpassword secret\n\n";
    for (int i = 0; i < kResources; ++i) {
        const std::string name = resourceName(i);
        const std::string folder = root + "/resources/" + name;
        fs::create_directories(folder);
        writeFile(folder + "/manifest.lua", "name \"" + name + "\"\r\nauthor \"me\"\r\n");
        writeFile(folder + "/server.lua", "-- server side of " + name + "\r\n");
        writeFile(folder + "/client.lua", "-- client side of " + name + "\r\n");
        if (i % 2 == 0) cfg += "load " + name + "\n";
    }
    writeFile(root + "/server.cfg", cfg);
    writeFile(root + "/data/ai/brains.json", aiDocument("brains", kAiBytes));
    writeFile(root + "/data/ai/spawns.json", aiDocument("spawners", kAiBytes));
    writeFile(root + "/resources/skins/skins.json", skinsDocument(kSkinsBytes));
    writeFile(root + "/resources/skins/skins.lua", "Skins = {}\r\n");
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (int i = 0; i < kTextures; ++i) {
        writeFile(root + "/resources/skins/textures/tex_" + std::to_string(i) + ".png", png);
    }
}

// Mostly prose, with what the escaper has to handle mixed in at realistic rates.
std::string mixedText(std::size_t size) {
    static const char* pieces[] = {
        "The raptor pack moves through the ferns at dusk, ",
        "keeping to the river bank where the scent carries. ",
        "She said \"stay low\" and pointed north. ",
        "Path: C:\\Servers\\Varra\\data\\ai\\brains.json ",
        "\n",
        "\tindented line\n",
        "Grüße aus Köln – übermäßig schön. ",
        "恐竜が森を歩く。",
        "emoji 🦖 ",
        "\r\n",
        "bell\x07 and escape\x1b[0m ",
    };
    static const int weights[] = {30, 30, 6, 3, 6, 3, 4, 2, 1, 2, 1};
    std::vector<int> table;
    for (int i = 0; i < static_cast<int>(std::size(weights)); ++i)
        table.insert(table.end(), weights[i], i);
    std::mt19937 random(12345);
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size)
        text += pieces[table[random() % table.size()]];
    // Cut back to whole characters so the input is valid UTF-8.
    text.resize(size);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
    return text;
}

std::string readWithStream(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    in.seekg(0, std::ios::end);
    bytes.resize(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The file-system facts the state message reports besides the files it embeds, asked for
// with nothing else done: the root, runner, plugin and skins.lua checks, the listings of the
// resources and of the textures, and the three files of each resource, as the message asks
// (a check each by the whole path, or from the resources folder opened once) or by one
// listing of each resource folder, whichever is quickest.
std::size_t factsByChecks(const std::string& root) {
    std::size_t found =
        bridge::folderExists(root) + bridge::fileExists(root + "/VarraForgesetServer.exe") +
        bridge::fileExists(root + "/server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/../server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/resources/skins/skins.lua");
    for (const std::string& name : bridge::listSubdirs(root + "/resources")) {
        const std::string folder = root + "/resources/" + name;
        found += bridge::fileExists(folder + "/manifest.lua") +
                 bridge::fileExists(folder + "/server.lua") +
                 bridge::fileExists(folder + "/client.lua");
    }
    return found + bridge::listFiles(root + "/resources/skins/textures", "*.png").size();
}

std::size_t factsByLookups(const std::string& root) {
    std::size_t found =
        bridge::folderExists(root) + bridge::fileExists(root + "/VarraForgesetServer.exe") +
        bridge::fileExists(root + "/server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/../server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/resources/skins/skins.lua");
    const platform::FolderLookup lookup(root + "/resources");
    for (const std::string& name : bridge::listSubdirs(root + "/resources")) {
        for (const char* file : {"/manifest.lua", "/server.lua", "/client.lua"})
            found += lookup.kind(name + file) == platform::PathKind::file;
    }
    return found + bridge::listFiles(root + "/resources/skins/textures", "*.png").size();
}

std::size_t factsByListings(const std::string& root) {
    std::size_t found =
        bridge::folderExists(root) + bridge::fileExists(root + "/VarraForgesetServer.exe") +
        bridge::fileExists(root + "/server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/../server-plugin/build/varra-forgeset-server.dll") +
        bridge::fileExists(root + "/resources/skins/skins.lua");
    for (const std::string& name : bridge::listSubdirs(root + "/resources"))
        found += platform::listFolder(root + "/resources/" + name).size();
    return found + bridge::listFiles(root + "/resources/skins/textures", "*.png").size();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;

    std::string tempPattern = (fs::temp_directory_path() / "state-bench-XXXXXX").string();
    if (!mkdtemp(tempPattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = tempPattern;
    std::printf("Preparing a server folder in %s ...\n", root.c_str());
    makeServerFolder(root);

    const std::vector<std::string> embedded = {root + "/server.cfg", root + "/data/ai/brains.json",
                                               root + "/data/ai/spawns.json",
                                               root + "/resources/skins/skins.json"};
    std::size_t embeddedBytes = 0;
    for (const auto& path : embedded)
        embeddedBytes += fs::file_size(path);

    // The state message and its baselines, alternating, after one warm-up each.
    auto buildState = [&] { sink = sink + server::buildStateMessage(root).size(); };
    auto readPlain = [&] {
        for (const auto& path : embedded)
            sink = sink + bridge::readFileBytes(path).size();
    };
    auto readStream = [&] {
        for (const auto& path : embedded)
            sink = sink + readWithStream(path).size();
    };
    auto checks = [&] { sink = sink + factsByChecks(root); };
    auto lookups = [&] { sink = sink + factsByLookups(root); };
    auto listings = [&] { sink = sink + factsByListings(root); };
    const std::vector<std::function<void()>> stateWork = {buildState, readPlain, readStream,
                                                          checks,     lookups,   listings};
    std::vector<std::vector<double>> stateTimes(stateWork.size());
    for (int i = 0; i <= runs; ++i) {
        for (std::size_t k = 0; k < stateWork.size(); ++k) {
            const double time = seconds(stateWork[k]);
            if (i > 0) stateTimes[k].push_back(time);  // the first round warms up
        }
    }
    const std::size_t messageBytes = server::buildStateMessage(root).size();

    // jsonEscape against a plain copy of the same bytes: each into a new string, and into a
    // buffer made ready beforehand; mixed text, and an AI document, which is escape-dense.
    const std::string text = mixedText(kEscapeBytes);
    const std::string dense = aiDocument("brains", kEscapeBytes / 5);
    std::string ready(text.size() * 2, '\0'), copyTarget(text.size(), '\0');
    auto intoReady = [&](const std::string& from) {
        ready.clear();
        bridge::appendJsonEscaped(ready, from);
        sink = sink + ready.size();
    };
    auto copyInto = [&](const std::string& from) {
        std::memcpy(copyTarget.data(), from.data(), from.size());
        sink = sink + static_cast<unsigned char>(copyTarget[from.size() / 2]);
    };
    const std::vector<std::function<void()>> escapeWork = {
        [&] { sink = sink + bridge::jsonEscape(text).size(); },
        [&] {
            std::string copy = text;
            sink = sink + copy.size();
        },
        [&] { intoReady(text); },
        [&] { copyInto(text); },
        [&] { intoReady(dense); },
        [&] { copyInto(dense); },
    };
    const int escapeRuns = std::max(3, runs / 3);
    std::vector<std::vector<double>> escapeTimes(escapeWork.size());
    for (int i = 0; i <= escapeRuns; ++i) {
        for (std::size_t k = 0; k < escapeWork.size(); ++k) {
            const double time = seconds(escapeWork[k]);
            if (i > 0) escapeTimes[k].push_back(time);
        }
    }

    const double state = median(stateTimes[0]), read = median(stateTimes[1]),
                 stream = median(stateTimes[2]), byChecks = median(stateTimes[3]),
                 byLookups = median(stateTimes[4]), byListings = median(stateTimes[5]),
                 facts = std::min({byChecks, byLookups, byListings});
    std::printf("\nServer folder: %d resources, %d textures, %.1f MB of embedded files\n",
                kResources, kTextures, embeddedBytes / (1024.0 * 1024.0));
    std::printf("State message: %.1f MB; medians of %d interleaved runs\n",
                messageBytes / (1024.0 * 1024.0), runs);
    std::printf("  buildStateMessage              %9.2f ms\n", state * 1e3);
    std::printf("  read files (readFileBytes)     %9.2f ms\n", read * 1e3);
    std::printf("  read files (std::ifstream)     %9.2f ms\n", stream * 1e3);
    std::printf("  facts, a check each            %9.2f ms   (%d resources x 3 files, listings)\n",
                byChecks * 1e3, kResources);
    std::printf("  facts, from the folder opened  %9.2f ms\n", byLookups * 1e3);
    std::printf("  facts, a listing per resource  %9.2f ms\n", byListings * 1e3);
    std::printf("  ratio state / read             %9.2f x   (goal: at most 3 x)\n", state / read);
    std::printf("  ratio state / (read + facts)   %9.2f x   (the quickest way to the facts)\n",
                state / (read + facts));

    const double mb = static_cast<double>(text.size()) / (1024.0 * 1024.0);
    const double denseMb = static_cast<double>(dense.size()) / (1024.0 * 1024.0);
    const double escapeNew = median(escapeTimes[0]), stringCopy = median(escapeTimes[1]),
                 escapeReady = median(escapeTimes[2]), copy = median(escapeTimes[3]),
                 denseReady = median(escapeTimes[4]), denseCopy = median(escapeTimes[5]);
    std::printf("\njsonEscape on %.1f MB of mixed text (output %.1f MB); medians of %d runs\n", mb,
                bridge::jsonEscape(text).size() / (1024.0 * 1024.0), escapeRuns);
    std::printf("  appendJsonEscaped, ready buffer %8.1f MB/s  (%.2f ms)\n", mb / escapeReady,
                escapeReady * 1e3);
    std::printf("  memcpy into ready buffer        %8.1f MB/s  (%.2f ms)\n", mb / copy, copy * 1e3);
    std::printf("  jsonEscape, a new string        %8.1f MB/s  (%.2f ms)\n", mb / escapeNew,
                escapeNew * 1e3);
    std::printf("  std::string copy, a new string  %8.1f MB/s  (%.2f ms)\n", mb / stringCopy,
                stringCopy * 1e3);
    std::printf("  ratio escape / memcpy           %8.2f x   (ready buffers; goal: at most 3 x)\n",
                escapeReady / copy);
    std::printf(
        "  ratio jsonEscape / memcpy       %8.2f x   (a new string against a ready "
        "buffer)\n",
        escapeNew / copy);
    std::printf("  ratio jsonEscape / string copy  %8.2f x   (a new string each)\n",
                escapeNew / stringCopy);
    std::printf("Escape-dense: an AI document of %.1f MB, ready buffers\n", denseMb);
    std::printf("  appendJsonEscaped               %8.1f MB/s  (%.2f ms)\n", denseMb / denseReady,
                denseReady * 1e3);
    std::printf("  memcpy                          %8.1f MB/s  (%.2f ms)\n", denseMb / denseCopy,
                denseCopy * 1e3);
    std::printf("  ratio escape / memcpy           %8.2f x\n", denseReady / denseCopy);

    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
