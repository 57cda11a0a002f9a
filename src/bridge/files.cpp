#include "bridge/files.h"

#include <algorithm>
#include <cerrno>

#include "bridge/text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace bridge {

std::string readFileBytes(const std::string& path) {
    return platform::readWholeFile(path).value_or(std::string());
}

platform::Result<> makeDirs(const std::string& path) {
    // Paths are built with forward slashes, which Windows takes as well as its own. A level
    // that exists already fails to be made, harmlessly; only whether the whole path is a
    // folder at the end counts, and the last level's failure says why not.
    platform::Result<> last;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == platform::pathSeparator) {
            last = platform::makeFolder(path.substr(0, i));
        }
    }
    if (folderExists(path)) return {};
    if (last) return platform::fail(ENOTDIR, "make a folder");
    return last;
}

std::vector<std::string> listSubdirs(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& entry : platform::listFolder(folder)) {
        if (entry.isFolder && entry.name[0] != '.') names.push_back(std::move(entry.name));
    }
    // Linux file systems list in no stable order; sorted keeps the page from reshuffling.
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    for (auto& entry : platform::listFolder(folder)) {
        if (!entry.isFolder && wildcardMatch(pattern, entry.name)) {
            names.push_back(std::move(entry.name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool fileExists(const std::string& path) {
    return platform::pathKind(path) == platform::PathKind::file;
}

bool folderExists(const std::string& path) {
    return platform::pathKind(path) == platform::PathKind::folder;
}

platform::Result<> copyFileBytes(const std::string& from, const std::string& to) {
    platform::Result<std::string> bytes = platform::readWholeFile(from);
    if (!bytes) return std::unexpected(bytes.error());
    return platform::replaceWholeFile(to, *bytes);
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // '?' stands for one character, as on Windows, so the name is walked by whole UTF-8
    // sequences (a stray byte counts as one character).
    auto step = [&](std::size_t i) {
        return std::max<std::size_t>(1, utf8SequenceLength(name, i));
    };
    // Greedy matching with one back-tracking point: linear enough for file names.
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += step(n);
        } else if (p < pattern.size() &&
                   platform::lowerAscii(pattern[p]) == platform::lowerAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            starN += step(starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace bridge
