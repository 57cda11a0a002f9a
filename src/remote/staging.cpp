#include "remote/staging.h"

#include <optional>

#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "platform/copy_file.h"
#include "platform/file_tree.h"

namespace remote {

namespace {

// The entry with either separator turned into this system's, or nothing when it may not be
// used as a path below the source folder.
std::optional<std::string> allowedPath(const std::string& entry) {
    std::string path = entry;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.find("..") != std::string::npos || path.find(':') != std::string::npos ||
        path.starts_with('/')) {
        return std::nullopt;
    }
    return path;
}

// A hard link shares the file with the workspace; a link in the workspace is copied as the
// file it names instead, as the service needs the content and not a link.
bool linkOrCopy(const std::string& from, const std::string& to) {
    (void)platform::removeEntry(to);
    if (platform::ownKindAt(from) != platform::OwnKind::link && platform::makeHardLink(from, to))
        return true;
    return platform::copyFileReplacing(from, to).has_value();
}

std::string stageEntry(const std::string& workspace, const std::string& work,
                       const std::string& entry) {
    std::optional<std::string> path = allowedPath(entry);
    if (!path) return "A file path in species.json is not allowed: " + entry;
    const std::string source = workspace + "/source/" + *path;
    const std::string target = work + "/source/" + *path;
    if (!bridge::fileExists(source)) return "Missing file: " + entry;
    const std::string folder = target.substr(0, target.rfind('/'));
    if (platform::Result<> made = bridge::makeDirs(folder); !made) {
        bridge::reportFailure("Could not make " + folder, made.error());
        return "Could not copy " + entry;
    }
    if (!linkOrCopy(source, target)) return "Could not copy " + entry;
    return {};
}

}  // namespace

std::vector<std::string> splitFileList(const std::string& files) {
    std::vector<std::string> entries;
    std::size_t at = 0;
    while (at <= files.size()) {
        std::size_t bar = files.find('|', at);
        if (bar == std::string::npos) bar = files.size();
        if (bar > at) entries.push_back(files.substr(at, bar - at));
        at = bar + 1;
    }
    return entries;
}

std::string stageSpecies(const std::string& workspace, const std::string& work,
                         const std::vector<std::string>& entries) {
    if (!bridge::fileExists(workspace + "/species.json") ||
        !bridge::copyFileBytes(workspace + "/species.json", work + "/species.json")) {
        return "species.json is missing. Save first.";
    }
    for (const std::string& entry : entries) {
        std::string failure = stageEntry(workspace, work, entry);
        if (!failure.empty()) return failure;
    }
    return {};
}

}  // namespace remote
