#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/dispatcher.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/process.h"
#include "species/build_output.h"
#include "species/busy.h"
#include "species/commands.h"
#include "species/power_shell.h"
#include "species/species_message.h"
#include "species/workspace.h"

namespace species {

namespace {

// The build worker's own copies; the dispatching thread may change the server folder
// meanwhile.
struct BuildJob {
    std::string root;
    std::string name;
    std::string kit;
    std::string powershell;
    std::uint32_t limitMs = 0;
};

enum class BuildEnd { succeeded, failed, timedOut };

// Runs the script, posting each line of its output as it comes.
BuildEnd runBuildScript(bridge::App& app, const BuildJob& job) {
    // The same arguments as on Windows; the script path, root and name go as whole arguments,
    // so nothing needs quoting.
    const std::vector<std::string> argv = {
        job.powershell, "-NoProfile", "-ExecutionPolicy",
        "Bypass",       "-File",      job.kit + "/build-species.ps1",
        "-ServerRoot",  job.root,     "-Species",
        job.name};
    BuildOutput output([&](std::string_view line) {
        bridge::sendSpeciesLog(app, job.root, job.name, bridge::fromUtf8(line));
    });
    const bool ended = platform::runStreaming(argv, job.limitMs,
                                              [&](std::string_view block) { output.feed(block); });
    output.finish();
    if (!ended) return BuildEnd::timedOut;
    return output.succeeded() ? BuildEnd::succeeded : BuildEnd::failed;
}

void reportBuild(bridge::App& app, BuildEnd end) {
    switch (end) {
        case BuildEnd::succeeded:
            bridge::sendNotice(
                app,
                "Build finished. The species is in client-mods and server-mods. Restart "
                "the server to load it.",
                false);
            break;
        case BuildEnd::failed:
            bridge::sendNotice(app, "Build failed. The log shows why.", true);
            break;
        case BuildEnd::timedOut:
            bridge::sendNotice(
                app,
                "Build failed: the build script did not end within its time limit and "
                "was stopped. The log shows how far it got.",
                true);
            break;
    }
}

}  // namespace

namespace command {

void buildSpecies(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    BuildJob job{app.serverRoot.path(),
                 bridge::jsonString(message, "name"),
                 {},
                 {},
                 app.timeLimits.localBuild};
    if (!isSpeciesName(job.name)) return;
    job.kit = findSpeciesKit(app.programFolder);
    if (job.kit.empty()) {
        bridge::sendNotice(app, "The species-kit folder was not found next to the tool.", true);
        return;
    }
    job.powershell = findPowerShell();
    if (job.powershell.empty()) {
        bridge::sendNotice(app, kPowerShellMissing, true);
        return;
    }
    BusyClaim claim(app);
    if (!claim) {
        bridge::sendNotice(app, kBusyNotice, true);
        return;
    }
    sendSpeciesMessage(app);
    claim.handToWorker([&app, job = std::move(job)] {
        BuildEnd end = BuildEnd::failed;
        bridge::runReportingFailures(app, "buildSpecies", [&] { end = runBuildScript(app, job); });
        releaseBusy(app);
        reportBuild(app, end);
        sendSpeciesMessage(app);
    });
}

}  // namespace command

}  // namespace species
