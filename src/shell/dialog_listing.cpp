#include "shell/dialog_listing.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/text.h"
#include "platform/ascii.h"
#include "platform/folder_names.h"
#include "platform/paths.h"

namespace {

using platform::EntryKind;
using platform::NamedEntry;

// Why a folder could not be listed: a word the picker acts on and a sentence it shows.
struct Refusal {
    std::string_view reason;
    std::string_view sentence;
};

constexpr Refusal kRelative{"relative",
                            platform::pathSeparator == '/'
                                ? "Type a full path, starting with /."
                                : "Type a full path, starting with a drive such as C:\\."};
constexpr Refusal kTooLong{"long", "That path is too long."};
constexpr Refusal kMissing{"missing", "There is no such folder."};
constexpr Refusal kFile{"file", "That is a file, not a folder."};
constexpr Refusal kLoop{"loop", "The links in that path go round in a loop."};
constexpr Refusal kUnreadable{"unreadable", "That folder cannot be read."};

std::string errorJson(const std::string& path, const Refusal& refusal) {
    std::string json = "{\"path\":";
    bridge::appendJsonString(json, path);
    json += ",\"reason\":";
    bridge::appendJsonString(json, refusal.reason);
    json += ",\"error\":";
    bridge::appendJsonString(json, refusal.sentence);
    return json + "}";
}

const Refusal& refusalFor(int code) {
    switch (code) {
        case ENOENT:
            return kMissing;
        case ENOTDIR:
            return kFile;
        case ELOOP:
            return kLoop;
        case ENAMETOOLONG:
            return kTooLong;
        default:
            return kUnreadable;
    }
}

// Why the path cannot be listed without asking the file system; nothing when it may be asked.
const Refusal* pathProblem(const std::string& path) {
    if (path.size() > kMaxListedPathBytes) return &kTooLong;
    if (path.find('\0') != std::string::npos) return &kMissing;
    if (!platform::isFullPath(path)) return &kRelative;
    return nullptr;
}

bool matchesFilter(const PageDialog& dialog, std::size_t filter, const std::string& name) {
    // A file dialog without filters shows every file.
    if (dialog.filters.empty()) return true;
    const platform::FileFilter& chosen =
        dialog.filters[std::min(filter, dialog.filters.size() - 1)];
    return std::any_of(
        chosen.patterns.begin(), chosen.patterns.end(),
        [&](const std::string& pattern) { return bridge::wildcardMatch(pattern, name); });
}

bool shown(const PageDialog& dialog, const ListingRequest& request, const NamedEntry& entry) {
    if (!request.hidden && !entry.name.empty() && entry.name.front() == '.') return false;
    if (entry.kind == EntryKind::folder) return true;
    return dialog.files && entry.kind == EntryKind::file &&
           matchesFilter(dialog, request.filter, entry.name);
}

// Folders before files, then by name with letter case folded, as people read a listing; the
// bytes decide between names that differ only in case, so the order is the same every time.
bool listedBefore(const NamedEntry& a, const NamedEntry& b) {
    const bool aFolder = a.kind == EntryKind::folder;
    const bool bFolder = b.kind == EntryKind::folder;
    if (aFolder != bFolder) return aFolder;
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = platform::lowerAscii(a.name[i]);
        const char y = platform::lowerAscii(b.name[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
}

void appendEntry(std::string& json, const NamedEntry& entry) {
    json += "{\"name\":";
    bridge::appendJsonString(json, entry.name);
    json += entry.kind == EntryKind::folder ? ",\"folder\":true" : ",\"folder\":false";
    if (bridge::fromUtf8(entry.name) != entry.name) json += ",\"broken\":true";
    json += '}';
}

}  // namespace

std::string listingJson(const PageDialog& dialog, const ListingRequest& request) {
    // A path too long to list is not sent back either.
    if (const Refusal* problem = pathProblem(request.path))
        return errorJson(problem == &kTooLong ? std::string() : request.path, *problem);
    platform::Result<std::vector<NamedEntry>> read = platform::readFolderNames(request.path);
    if (!read) return errorJson(request.path, refusalFor(read.error().code));

    std::vector<NamedEntry>& entries = *read;
    std::erase_if(entries, [&](const NamedEntry& entry) { return !shown(dialog, request, entry); });
    const std::size_t listed = std::min(entries.size(), kListedEntries);
    // Only the entries that are sent need their places; the rest are only counted.
    std::partial_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(listed),
                      entries.end(), listedBefore);

    std::string json = "{\"path\":";
    bridge::appendJsonString(json, request.path);
    json += ",\"entries\":[";
    for (std::size_t i = 0; i < listed; ++i) {
        if (i > 0) json += ',';
        appendEntry(json, entries[i]);
    }
    json += "],\"more\":" + std::to_string(entries.size() - listed) + "}";
    return json;
}
