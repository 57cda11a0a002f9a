#include "remote/install.h"

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/files.h"
#include "bridge/messages.h"
#include "platform/private_file.h"
#include "platform/process.h"
#include "platform/unpacked_file.h"
#include "remote/job_tracker.h"
#include "remote/remote_paths.h"

namespace {

// Fetches the archive; the words for the user when that failed, else nothing.
std::string download(const TrackedJob& job, const std::string& token, const std::string& archive,
                     const std::string& tar) {
    BuildServiceResponse response =
        buildServiceRequest(job.timeouts, "GET", "/api/jobs/" + job.id + "/result",
                            bearerHeader(token), {}, {}, archive);
    if (response.status != 200 || !response.error.empty() || !fileExists(archive)) {
        return describeFailure(response);
    }
    // Without tar the archive cannot be opened; the job file stays, so the build can be
    // resumed once bsdtar is installed, instead of being reported as an empty result.
    if (tar.empty()) return kTarMissing;
    return {};
}

// Copies the six species files and the build log; returns how many of the six succeeded.
int installFiles(const TrackedJob& job, const std::string& out) {
    int copied = 0;
    for (const char* folder : {"/client-mods", "/server-mods"}) {
        makeDirs(job.root + folder);
        for (const char* extension : {".pak", ".utoc", ".ucas"}) {
            const std::string file = "species_" + job.name + extension;
            if (platform::copyUnpackedFile(out + "/" + file, job.root + folder + "/" + file)) {
                ++copied;
            }
        }
    }
    if (fileExists(out + "/build.log")) {
        platform::copyUnpackedFile(out + "/build.log",
                                   job.root + "/species/" + job.name + "/build/build.log");
    }
    return copied;
}

}  // namespace

void installResult(App& app, const TrackedJob& job, const std::string& token) {
    const std::string folder = downloadFolder(job.root, job.name);
    const std::string out = folder + "/out";
    const std::string archive = folder + "/result.zip";
    removeTree(folder);
    makeDirs(out);
    const std::string tar = systemTarPath();
    const std::string failure = download(job, token, archive, tar);
    if (!failure.empty()) {
        // The job file stays, so buildResume can fetch the result again.
        removeTree(folder);
        sendNotice(app, "Could not download the result: " + failure, true);
        sendSpeciesRemote(app, job.root, job.name, "failed", failure);
        return;
    }
    // Owners and permission bits from the archive are not taken; bsdtar already refuses
    // entries with ".." or an absolute path and will not write through a link it unpacked.
    platform::runCaptured(
        {tar, "-x", "--no-same-owner", "--no-same-permissions", "-f", archive, "-C", out},
        app.timeLimits.unpackArchive);
    const int copied = installFiles(job, out);
    removeTree(folder);
    platform::removeFile(jobFilePath(job.root, job.name));
    if (copied == 6) {
        sendNotice(app,
                   "Build finished. The species is in client-mods and server-mods. Restart the "
                   "server to load it.",
                   false);
        sendSpeciesRemote(app, job.root, job.name, "done", "Pak downloaded");
    } else {
        sendNotice(app, "The result is incomplete, the pak files are missing.", true);
        sendSpeciesRemote(app, job.root, job.name, "failed", "Result incomplete");
    }
}
