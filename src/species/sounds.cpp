#include <cstdint>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "platform/ascii.h"
#include "platform/file_tree.h"
#include "species/commands.h"
#include "species/workspace.h"

namespace species {

namespace {

// The game streams sounds from memory; larger files are left out. Exactly 20 MB is allowed.
constexpr std::uintmax_t kSoundLimitBytes = 20 * 1048576;

bool isSoundFile(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view extension = name.substr(dot);
    return platform::equalsIgnoringAsciiCase(extension, ".wav") ||
           platform::equalsIgnoringAsciiCase(extension, ".ogg");
}

// The file name of a picked path; either slash ends a folder name, as on Windows.
std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name a picked file takes in the Sounds folder: that of a file already there whose name
// differs only in ASCII letter case, else its own. Windows replaces such a file under its old
// name, and the page takes the two for one sound; a second file beside it would be heard by
// nobody.
std::string nameInFolder(const std::string& folder, const std::string& file) {
    for (const std::string& present : bridge::listFiles(folder, "*")) {
        if (platform::equalsIgnoringAsciiCase(present, file)) return present;
    }
    return file;
}

// {"type":"speciesSounds","name":...,"files":["Sounds/a.wav",...]}
void sendSpeciesSounds(bridge::App& app, const std::string& name,
                       const std::vector<std::string>& files) {
    std::string json = "{\"type\":\"speciesSounds\",\"name\":";
    bridge::appendJsonString(json, name);
    json += ",\"files\":[";
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) json += ',';
        bridge::appendJsonString(json, files[i]);
    }
    json += "]}";
    bridge::postToUi(app, std::move(json));
}

}  // namespace

namespace command {

void addSpeciesSounds(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!isSpeciesName(name)) return;
    const std::vector<std::string> picked = app.dialogs.pickFiles(
        "Sound files for this species", {{"Sounds (WAV, OGG)", {"*.wav", "*.ogg"}}});
    const std::string folder = workspaceFolder(app.serverRoot.path(), name) + "/source/Sounds";
    std::vector<std::string> copied;
    for (const std::string& path : picked) {
        const std::string file = fileNameOf(path);
        if (!isSoundFile(file)) continue;
        // A folder, a device or a vanished file has no size and is passed over.
        const platform::Result<std::uint64_t> size = platform::fileSize(path);
        if (!size) continue;
        if (*size > kSoundLimitBytes) {
            bridge::sendNotice(app, file + " is larger than 20 MB and was left out.", true);
            continue;
        }
        platform::Result<> stored = bridge::makeDirs(folder);
        const std::string storedName = nameInFolder(folder, file);
        if (stored) stored = bridge::copyFileBytes(path, folder + "/" + storedName);
        if (stored) {
            copied.push_back("Sounds/" + storedName);
        } else {
            bridge::sendFailureNotice(app, "Could not copy " + file + ".", stored.error());
        }
    }
    // The page adds the new files to the definition itself; the next save stores them.
    if (!copied.empty()) sendSpeciesSounds(app, name, copied);
}

}  // namespace command

}  // namespace species
