#include "remote/install.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/messages.h"
#include "platform/file_tree.h"
#include "platform/private_file.h"
#include "platform/process.h"
#include "platform/unpacked_file.h"
#include "remote/job_tracker.h"
#include "remote/remote_paths.h"
#include "species/workspace.h"

namespace remote {

namespace {

// Fetches the archive; the words for the user when that failed, else nothing.
std::string download(bridge::App& app, const TrackedJob& job, const std::string& token,
                     const std::string& archive, const std::string& tar) {
    // buildCancel ends a download that crawls on, as it ends the tracking.
    const std::string workspace = species::workspaceFolder(job.root, job.name);
    bridge::BuildServiceResponse response = bridge::buildServiceDownload(
        job.timeouts, "/api/jobs/" + job.id + "/result", bridge::bearerHeader(token), archive,
        app.resultCapBytes, [&] { return app.followedSpecies.stopAsked(workspace); });
    if (response.status != 200 || !response.error.empty() || !bridge::fileExists(archive)) {
        return bridge::describeFailure(response);
    }
    // Without tar the archive cannot be opened; the job file stays, so the build can be
    // resumed once bsdtar is installed, instead of being reported as an empty result.
    if (tar.empty()) return kTarMissing;
    return {};
}

// The archive's entries that are installed, all at its top level: the three packages and
// the build log. Nothing else in it is ever unpacked.
std::vector<std::string> installedEntries(const std::string& name) {
    return {"species_" + name + ".pak", "species_" + name + ".utoc", "species_" + name + ".ucas",
            "build.log"};
}

std::string sizeWords(std::uint64_t bytes) {
    return bytes >= (std::uint64_t{1} << 30) ? std::to_string(bytes >> 30) + " GB"
                                             : std::to_string(bytes >> 20) + " MB";
}

// An entry the listing shows as a plain file, with the size it gives.
struct ListedFile {
    std::string name;
    std::uint64_t size = 0;
};

// The size column of a listed line: "-rw-r--r--  0 user group  1234 Dec  9 04:48 name".
std::uint64_t listedSize(std::string_view line) {
    for (int field = 0; field < 4; ++field) {
        line.remove_prefix(std::min(line.find(' '), line.size()));
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
    }
    std::uint64_t size = 0;
    std::from_chars(line.data(), line.data() + line.size(), size);
    return size;
}

// Which of `entries` the listing shows as plain files. Anything else is never unpacked:
// bsdtar would make a device, a pipe or a link of it (a device only for root, but the tool
// may run as root). Each listed line starts with the entry's type, "-" for a plain file, and
// names it; bsdtar's own complaints (about entries the archive lacks) may run on at the end
// of a line.
std::vector<ListedFile> plainEntries(const std::string& listing,
                                     const std::vector<std::string>& entries) {
    std::vector<ListedFile> plain;
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        std::string_view line(listing.data() + start, end - start);
        start = end + 1;
        if (!line.starts_with("-")) continue;
        for (const std::string& entry : entries) {
            const std::size_t at = line.find(" " + entry);
            const std::size_t after = at + 1 + entry.size();
            if (at != std::string_view::npos &&
                (after == line.size() || line.substr(after).starts_with("bsdtar:"))) {
                plain.push_back({entry, listedSize(line)});
            }
        }
    }
    return plain;
}

// Unpacks those of the installed entries that are plain files into `out`, each on its own so
// that all of them together stay within the cap: bsdtar may not write a file past what is
// left of it. Each must come out at the size the archive gives, or a disk that filled up
// would install a cut package. The words for the user when the result cannot be taken,
// else nothing.
std::string unpack(const bridge::App& app, const TrackedJob& job, const std::string& tar,
                   const std::string& archive, const std::string& out) {
    const std::vector<std::string> entries = installedEntries(job.name);
    std::vector<std::string> list = {tar, "-t", "-v", "-f", archive};
    list.insert(list.end(), entries.begin(), entries.end());
    std::uint64_t left = app.resultCapBytes;
    for (const ListedFile& entry :
         plainEntries(platform::runCaptured(list, app.timeLimits.unpackArchive), entries)) {
        // Owners and permission bits from the archive are not taken; bsdtar refuses entries
        // with ".." or an absolute path and will not write through a link it unpacked.
        platform::runCapturedWithFileLimit({tar, "-x", "--no-same-owner", "--no-same-permissions",
                                            "-f", archive, "-C", out, entry.name},
                                           app.timeLimits.unpackArchive, left);
        const std::string file = out + "/" + entry.name;
        const platform::OwnKind kind = platform::ownKindAt(file);
        const bool plain = kind == platform::OwnKind::file;
        const platform::Result<std::uint64_t> measured =
            plain ? platform::fileSize(file) : platform::Result<std::uint64_t>(0);
        // Nothing where the entry should be is a failed unpacking, as is an unreadable size.
        const bool failed = kind == platform::OwnKind::missing || !measured;
        const std::uint64_t size = measured.value_or(0);
        if (!failed && size >= left)
            return "it unpacks to more than " + sizeWords(app.resultCapBytes) + ".";
        if (failed || !plain || size != entry.size)
            return "it could not be unpacked whole (is the disk full?).";
        left -= size;
    }
    return {};
}

// Copies the six species files and the build log; returns how many of the six succeeded.
// The notice counts only the six; why one was not copied goes to standard error.
int installFiles(const TrackedJob& job, const std::string& out) {
    int copied = 0;
    for (const char* folder : {"/client-mods", "/server-mods"}) {
        const platform::Result<> made = bridge::makeDirs(job.root + folder);
        for (const char* extension : {".pak", ".utoc", ".ucas"}) {
            const std::string file = "species_" + job.name + extension;
            const std::string target = job.root + folder + "/" + file;
            platform::Result<> placed = made;
            if (placed) placed = platform::copyUnpackedFile(out + "/" + file, target);
            if (placed) {
                ++copied;
            } else {
                bridge::reportFailure("Could not install " + target, placed.error());
            }
        }
    }
    if (bridge::fileExists(out + "/build.log")) {
        const std::string log = job.root + "/species/" + job.name + "/build/build.log";
        if (platform::Result<> kept = platform::copyUnpackedFile(out + "/build.log", log); !kept)
            bridge::reportFailure("Could not keep the build log in " + log, kept.error());
    }
    return copied;
}

// A result that could not be had: the job file stays, so buildResume can try again.
void reportNotInstalled(bridge::App& app, const TrackedJob& job, const std::string& folder,
                        const std::string& notice, const std::string& failure) {
    removeTree(folder);
    bridge::sendNotice(app, notice + failure, true);
    bridge::sendSpeciesRemote(app, job.root, job.name, "failed", failure);
}

}  // namespace

void installResult(bridge::App& app, const TrackedJob& job, const std::string& token) {
    const std::string folder = downloadFolder(job.root, job.name);
    const std::string out = folder + "/out";
    const std::string archive = folder + "/result.zip";
    removeTree(folder);
    // The download says so when it cannot write there.
    if (platform::Result<> made = bridge::makeDirs(out); !made)
        bridge::reportFailure("Could not make " + out, made.error());
    const std::string tar = systemTarPath();
    std::string failure = download(app, job, token, archive, tar);
    if (!failure.empty()) {
        reportNotInstalled(app, job, folder, "Could not download the result: ", failure);
        return;
    }
    failure = unpack(app, job, tar, archive, out);
    if (!failure.empty()) {
        reportNotInstalled(app, job, folder, "Could not install the result: ", failure);
        return;
    }
    const int copied = installFiles(job, out);
    removeTree(folder);
    // A job file left behind only offers Resume for a job that is over.
    if (platform::Result<> ended = platform::removeFile(jobFilePath(job.root, job.name)); !ended)
        bridge::reportFailure("Could not remove " + jobFilePath(job.root, job.name), ended.error());
    if (copied == 6) {
        bridge::sendNotice(
            app,
            "Build finished. The species is in client-mods and server-mods. Restart the "
            "server to load it.",
            false);
        bridge::sendSpeciesRemote(app, job.root, job.name, "done", "Pak downloaded");
    } else {
        bridge::sendNotice(app, "The result is incomplete, the pak files are missing.", true);
        bridge::sendSpeciesRemote(app, job.root, job.name, "failed", "Result incomplete");
    }
}

}  // namespace remote
