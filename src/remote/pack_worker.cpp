#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/asset_helper.h"
#include "bridge/credentials.h"
#include "bridge/diagnostics.h"
#include "bridge/dispatcher.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/file_tree.h"
#include "platform/files.h"
#include "platform/private_file.h"
#include "platform/process.h"
#include "remote/commands.h"
#include "remote/job_tracker.h"
#include "remote/remote_paths.h"
#include "remote/remote_worker.h"
#include "remote/staging.h"
#include "remote/upload.h"
#include "species/busy.h"
#include "species/species_message.h"
#include "species/workspace.h"

namespace remote {

namespace {

// The largest archive the service takes: 1 GiB exactly is still sent.
constexpr std::uint64_t kUploadLimit = 1073741824;

// The worker's own copies, taken on the dispatching thread.
struct PackJob {
    std::string root;
    std::string name;
    std::vector<std::string> files;
    std::string helper;
    std::string tar;
    std::string token;
    platform::HttpTimeouts timeouts;
    bridge::ChildTimeLimits limits;
};

std::string prepareTextures(const PackJob& job, const std::string& work) {
    const std::string ws = species::workspaceFolder(job.root, job.name);
    const std::string output =
        platform::runCaptured({job.helper, "prepare-textures", ws + "/species.json", ws + "/source",
                               work + "/build/textures"},
                              job.limits.prepareTextures);
    if (bridge::fileExists(work + "/build/textures/manifest.json")) return {};
    return "Preparing the textures failed: " +
           bridge::fromUtf8(std::string_view(output).substr(0, 300));
}

std::string pack(const PackJob& job, const std::string& work, const std::string& archive) {
    platform::runCaptured(
        {job.tar, "-a", "-c", "-f", archive, "-C", work, "species.json", "source", "build"},
        job.limits.packArchive);
    const platform::Result<std::uint64_t> size = platform::fileSize(archive);
    if (!size) return "Packing the upload failed.";
    if (*size > kUploadLimit) {
        return "The upload is larger than 1 GB. Remove unused animations or lower the texture "
               "size.";
    }
    return {};
}

// Stages, packs and uploads; the error for the user, or nothing with the job id set.
std::string packAndUpload(bridge::App& app, const PackJob& job, const std::string& work,
                          const std::string& archive, std::string& jobId) {
    bridge::sendSpeciesRemote(app, job.root, job.name, "preparing", "Collecting files");
    std::string failure =
        stageSpecies(species::workspaceFolder(job.root, job.name), work, job.files);
    if (!failure.empty()) return failure;
    bridge::sendSpeciesRemote(app, job.root, job.name, "preparing", "Preparing textures");
    failure = prepareTextures(job, work);
    if (!failure.empty()) return failure;
    bridge::sendSpeciesRemote(app, job.root, job.name, "preparing", "Packing");
    failure = pack(job, work, archive);
    if (!failure.empty()) return failure;
    UploadOutcome upload =
        uploadPackage(app, {job.root, job.name, archive, job.token, job.timeouts});
    jobId = std::move(upload.jobId);
    return upload.error;
}

// The staging folder and the archive, which can be as large as the upload limit: a leftover
// costs disk space only, so it is worth a diagnostic line, not a notice.
void removeStaging(const std::string& work, const std::string& archive) {
    removeTree(work);
    if (platform::Result<> removed = platform::removeFile(archive); !removed)
        bridge::reportFailure("Could not remove " + archive, removed.error());
}

void packWorker(bridge::App& app, const PackJob& job) {
    const std::string work = uploadWorkFolder(job.name);
    const std::string archive = uploadArchivePath(job.name);
    std::string jobId;
    std::string failure;
    {
        // Whatever ends the packing, an unexpected failure too, the staging files go and the
        // busy flag is freed.
        struct CleanUp {
            bridge::App& app;
            const std::string& work;
            const std::string& archive;
            ~CleanUp() {
                removeStaging(work, archive);
                species::releaseBusy(app);
            }
        } cleanUp{app, work, archive};
        removeStaging(work, archive);
        // Staging says which file it could not copy there.
        for (const char* folder : {"/source", "/build"}) {
            if (platform::Result<> made = bridge::makeDirs(work + folder); !made)
                bridge::reportFailure("Could not make " + work + folder, made.error());
        }
        failure = packAndUpload(app, job, work, archive, jobId);
    }
    if (!failure.empty()) {
        bridge::sendNotice(app, failure, true);
        bridge::sendSpeciesRemote(app, job.root, job.name, "failed", failure);
        species::sendSpeciesMessage(app);
        return;
    }
    // The job file is the tool's own: a link planted at its name is replaced, not written
    // through. Without it the build can still be followed now, but not resumed later.
    bridge::sendNotice(app, "Uploaded. The build server takes it from here.", false);
    platform::Result<> stored =
        bridge::makeDirs(species::workspaceFolder(job.root, job.name) + "/build");
    if (stored) stored = platform::createWholeFile(jobFilePath(job.root, job.name), jobId);
    if (!stored) {
        bridge::sendFailureNotice(
            app,
            "Could not store the job in build/remote-job.txt: its result can only "
            "be fetched while the tool stays open.",
            stored.error());
    }
    species::sendSpeciesMessage(app);
    trackJob(app, {job.root, job.name, jobId, job.timeouts});
}

// The command's guards, in order; false when one ended the command (with its notice).
bool passesGuards(bridge::App& app, PackJob& job, const std::string& message) {
    if (app.serverRoot.empty() || !species::isSpeciesName(job.name)) return false;
    job.token = bridge::loadCredentials().token;
    if (job.token.empty()) {
        bridge::sendNotice(app, "Sign in with Steam first.", true);
        return false;
    }
    job.helper = bridge::findAssetHelper(app.programFolder);
    if (job.helper.empty()) {
        bridge::sendNotice(app, bridge::kHelperMissing, true);
        return false;
    }
    job.tar = systemTarPath();
    if (job.tar.empty()) {
        bridge::sendNotice(app, kTarMissing, true);
        return false;
    }
    job.files = splitFileList(bridge::jsonString(message, "files"));
    if (job.files.empty()) {
        bridge::sendNotice(app, "Import a model first.", true);
        return false;
    }
    return true;
}

}  // namespace

namespace command {

void buildRemote(bridge::App& app, const std::string& message) {
    PackJob job{app.serverRoot.path(),
                bridge::jsonString(message, "name"),
                {},
                {},
                {},
                {},
                app.buildServiceTimeouts,
                app.timeLimits};
    if (!passesGuards(app, job, message)) return;
    species::BusyClaim claim(app);
    if (!claim) {
        bridge::sendNotice(app, species::kBusyNotice, true);
        return;
    }
    FollowClaim follow(app, species::workspaceFolder(job.root, job.name));
    if (!follow) {
        bridge::sendNotice(app, kAlreadyFollowed, true);
        return;
    }
    species::sendSpeciesMessage(app);
    claim.handToWorker([&app, job = std::move(job), workspace = follow.workspace()] {
        bridge::runReportingFailures(app, "buildRemote", [&] {
            whileFollowing(app, workspace, [&] { packWorker(app, job); });
        });
    });
    follow.handedOver();
}

}  // namespace command

}  // namespace remote
