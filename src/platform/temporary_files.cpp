#include "platform/temporary_files.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string_view>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/private_file.h"
#include "platform/random.h"

namespace platform {
namespace {

constexpr std::size_t kNoiseDigits = 12;

// Windows takes either slash as a separator, so a path may end its folder with either.
constexpr const char* kSeparators = pathSeparator == '/' ? "/" : "/\\";

std::mutex inFlightLock;
std::set<std::string> inFlight;

// Whether a folder entry has the form of our temporaries for `name`: "." name "." twelve
// lowercase hex digits ".tmp".
bool isTemporaryOf(std::string_view entry, std::string_view name) {
    const size_t prefix = 1 + name.size() + 1;
    if (entry.size() != prefix + kNoiseDigits + 4 || entry.front() != '.') return false;
    if (entry.substr(1, name.size()) != name || entry[prefix - 1] != '.') return false;
    if (!entry.ends_with(".tmp")) return false;
    return std::all_of(entry.begin() + prefix, entry.end() - 4,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

std::pair<std::string, std::string> folderAndName(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string temporaryNameBeside(const std::string& path) {
    auto [folder, name] = folderAndName(path);
    // Hidden, so a folder listing taken meanwhile does not show it as a resource or texture.
    return folder + "." + name + "." + randomHexDigits(kNoiseDigits / 2) + ".tmp";
}

InFlight::InFlight(std::string path) : path_(std::move(path)) {
    std::lock_guard lock(inFlightLock);
    inFlight.insert(path_);
}

InFlight::~InFlight() {
    std::lock_guard lock(inFlightLock);
    inFlight.erase(path_);
}

void removeStaleTemporaries(const std::string& path) {
    auto [folder, name] = folderAndName(path);
    for (const FolderEntry& entry : listFolder(folder.empty() ? "." : folder)) {
        if (entry.isFolder || !isTemporaryOf(entry.name, name)) continue;
        const std::string stale = folder + entry.name;
        std::lock_guard lock(inFlightLock);
        if (!inFlight.contains(stale)) (void)removeFile(stale);
    }
}

}  // namespace platform
