#include "remote/remote_paths.h"

#include <cstdint>
#include <cstdio>

#include "bridge/build_service.h"
#include "bridge/files.h"
#include "bridge/text.h"
#include "platform/file_tree.h"
#include "platform/paths.h"
#include "species/workspace.h"

namespace remote {

std::string uploadWorkFolder(const std::string& name) {
    return platform::appDataFolder() + "/build-upload/" + name;
}

std::string uploadArchivePath(const std::string& name) {
    return uploadWorkFolder(name) + ".zip";
}

std::string downloadFolder(const std::string& root, const std::string& name) {
    // FNV-1a: stable across runs and builds, which a folder name left behind must be.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : species::workspaceFolder(root, name)) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return platform::appDataFolder() + "/build-download/" + name + "-" + digits;
}

std::string jobFilePath(const std::string& root, const std::string& name) {
    return root + "/species/" + name + "/build/remote-job.txt";
}

std::string readJobId(const std::string& root, const std::string& name) {
    std::string id = bridge::fromUtf8(bridge::readFileBytes(jobFilePath(root, name)));
    while (!id.empty() && (id.back() == '\n' || id.back() == '\r' || id.back() == ' '))
        id.pop_back();
    return bridge::isServiceId(id) ? id : std::string();
}

void removeTree(const std::string& folder) {
    // Not followed: a link named like the folder is not a folder to empty.
    if (platform::ownKindAt(folder) != platform::OwnKind::folder) return;
    (void)platform::removeTree(folder);
}

}  // namespace remote
