#include <optional>
#include <string>

#include "bridge/app.h"
#include "bridge/asset_helper.h"
#include "bridge/diagnostics.h"
#include "bridge/dispatcher.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "platform/files.h"
#include "platform/process.h"
#include "species/busy.h"
#include "species/commands.h"
#include "species/species_message.h"
#include "species/tree_copy.h"
#include "species/workspace.h"

namespace species {

namespace {

// The import copies into the workspace's source folder; a folder that holds it would be
// copied into itself, and the source folder itself onto itself.
constexpr const char* kCopiesIntoItself =
    "That folder holds or lies inside this species' source folder, so the import would copy "
    "it into itself. Choose the folder the model files came from.";

constexpr const char* kLinkedSource =
    "This species' source folder is a link. The import copies only into a real folder inside "
    "the workspace: replace the link with a folder.";

// What the import worker is handed: its own copies, since the dispatching thread may change
// the server folder while it runs.
struct ImportJob {
    std::string root;
    std::string name;
    std::string chosen;
    std::string helper;
    std::uint32_t inspectLimitMs = 0;
};

// Copies, then lets the helper describe what was copied. An inspect.json from an earlier
// import counts as success too, as the page can still show the model it describes.
void importFiles(bridge::App& app, const ImportJob& job) {
    bridge::sendNotice(app, "Copying model, animations and textures...", false);
    const std::string source = workspaceFolder(job.root, job.name) + "/source";
    // The copy below says which files it could not write.
    if (platform::Result<> made = bridge::makeDirs(source); !made)
        bridge::reportFailure("Could not make " + source, made.error());
    const platform::Result<std::size_t> copy = copyImportTree(job.chosen, source);
    if (!copy) {
        bridge::sendNotice(
            app, "Copying stopped: the folder " + copy.error().what + " could not be read.", true);
        return;
    }
    const std::size_t copied = *copy;
    if (copied == 0) {
        bridge::sendNotice(app, "No FBX or texture files found in that folder.", true);
        return;
    }
    bridge::sendNotice(app, "Reading " + std::to_string(copied) + " files...", false);
    const std::string inspect = source + "/inspect.json";
    platform::runCaptured({job.helper, "inspect-fbx", source, inspect}, job.inspectLimitMs);
    if (bridge::fileExists(inspect)) {
        bridge::sendNotice(app, "Import finished.", false);
    } else {
        bridge::sendNotice(app, "The files were copied, but reading them failed.", true);
    }
}

}  // namespace

namespace command {

void importSpecies(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    ImportJob job{app.serverRoot.path(),
                  bridge::jsonString(message, "name"),
                  {},
                  {},
                  app.timeLimits.inspectFbx};
    if (!isSpeciesName(job.name)) return;
    job.helper = bridge::findAssetHelper(app.programFolder);
    if (job.helper.empty()) {
        bridge::sendNotice(app, bridge::kHelperMissing, true);
        return;
    }
    BusyClaim claim(app);
    if (!claim) {
        bridge::sendNotice(app, kBusyNotice, true);
        return;
    }
    // A cancelled dialog frees the claim on the way out.
    std::optional<std::string> chosen = app.dialogs.pickFolder("");
    if (!chosen) return;
    job.chosen = std::move(*chosen);
    const std::string source = workspaceFolder(job.root, job.name) + "/source";
    if (holdsOrLiesInside(job.chosen, source)) {
        bridge::sendNotice(app, kCopiesIntoItself, true);
        return;
    }
    // The copies and the helper's inspect.json would go wherever a link there points.
    if (platform::isSymbolicLink(source)) {
        bridge::sendNotice(app, kLinkedSource, true);
        return;
    }
    sendSpeciesMessage(app);
    claim.handToWorker([&app, job = std::move(job)] {
        // The flag is freed and the page told on every path, an unexpected failure included.
        bridge::runReportingFailures(app, "importSpecies", [&] { importFiles(app, job); });
        releaseBusy(app);
        sendSpeciesMessage(app);
    });
}

}  // namespace command

}  // namespace species
