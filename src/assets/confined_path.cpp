#include "assets/confined_path.h"

#include <algorithm>
#include <string>

namespace assets {

namespace {

bool isAbsoluteName(std::string_view name) {
    if (name.starts_with('/') || name.starts_with('\\')) return true;
    // A drive letter ("C:" ...) is absolute on the system these definitions also come from.
    return name.size() >= 2 && name[1] == ':';
}

}  // namespace

ConfinedPath confinedPath(const fs::path& root, std::string_view relative) {
    ConfinedPath result;
    if (relative.empty() || isAbsoluteName(relative)) {
        result.status = ConfinedPath::Status::Outside;
        return result;
    }
    std::string name(relative);
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    fs::path joined = root;
    for (const fs::path& part : fs::path(name)) {
        if (part == "..") {
            result.status = ConfinedPath::Status::Outside;
            return result;
        }
        if (part != "." && !part.empty()) joined /= part;
    }
    // Links are judged by where they end: a link inside the folder that points back into it is
    // harmless, one that points elsewhere is not.
    std::error_code ec;
    fs::path realRoot = fs::canonical(root, ec);
    if (ec) return result;
    fs::path realFile = fs::canonical(joined, ec);
    if (ec) return result;
    auto rootEnd =
        std::mismatch(realRoot.begin(), realRoot.end(), realFile.begin(), realFile.end()).first;
    if (rootEnd != realRoot.end()) {
        result.status = ConfinedPath::Status::Outside;
        return result;
    }
    result.status = ConfinedPath::Status::Inside;
    result.path = joined;
    return result;
}

}  // namespace assets
