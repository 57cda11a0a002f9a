#include <chrono>
#include <cstdint>

#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "platform/file_tree.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "species/commands.h"
#include "species/species_message.h"
#include "species/workspace.h"

namespace species {

namespace {

// Milliseconds since the system started, the stamp of a removed workspace's folder name.
std::uint64_t millisecondsSinceBoot() {
    // steady_clock counts from boot on Linux, like the tick count of the Windows build.
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// rename(2) would replace an empty folder standing at the target; a removal must never
// touch anything already there, so the target has to be free first.
bool moveAside(const std::string& from, const std::string& to) {
    if (platform::ownKindAt(to) != platform::OwnKind::missing) return false;
    return platform::moveEntry(from, to).has_value();
}

}  // namespace

namespace command {

void saveSpecies(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!isSpeciesName(name)) {
        bridge::sendNotice(app, kNameRuleNotice, true);
        return;
    }
    const std::string bytes = bridge::base64Decode(bridge::jsonString(message, "data"));
    if (bytes.empty()) {
        bridge::sendNotice(app, "Nothing to save.", true);
        return;
    }
    const std::string ws = workspaceFolder(app.serverRoot.path(), name);
    // A running server reads species.json at any moment: it must see the old or the new
    // definition, never half of one. The temporary name is fixed so that a failed save
    // leaves one stray file, not one per attempt; it is made anew, so a link planted at its
    // name is never written through.
    const std::string temporary = ws + "/species.json.tmp";
    // The workspace's own folders: the save stands without them, and the import and the
    // build say what is missing, so a failure here is only worth a diagnostic line.
    for (const char* folder : {"/source", "/build"}) {
        if (platform::Result<> made = bridge::makeDirs(ws + folder); !made)
            bridge::reportFailure("Could not make " + ws + folder, made.error());
    }
    platform::Result<> saved = platform::createWholeFile(temporary, bytes);
    if (saved) saved = platform::renameReplacing(temporary, ws + "/species.json");
    if (!saved) {
        bridge::sendFailureNotice(app, "Could not write species.json.", saved.error());
        return;
    }
    bridge::sendNotice(
        app, "Saved. Values and attacks reach a running server within a few seconds.", false);
    sendSpeciesMessage(app);
}

void deleteSpecies(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!isSpeciesName(name)) return;
    const std::string kept = "_deleted_" + name + "_" + std::to_string(millisecondsSinceBoot());
    const std::string ws = workspaceFolder(app.serverRoot.path(), name);
    // Only a workspace folder is put aside; a stray file of that name is no species.
    if (!bridge::folderExists(ws) ||
        !moveAside(ws, speciesFolder(app.serverRoot.path()) + "/" + kept)) {
        bridge::sendNotice(app, "Could not remove the species folder.", true);
        return;
    }
    bridge::sendNotice(app, "Removed. The folder was kept as " + kept + ".", false);
    sendSpeciesMessage(app);
}

void openSpecies(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!isSpeciesName(name)) return;
    platform::shellOpen(workspaceFolder(app.serverRoot.path(), name));
}

}  // namespace command

}  // namespace species
