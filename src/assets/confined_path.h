#pragma once
#include <filesystem>
#include <string_view>

namespace assets {

namespace fs = std::filesystem;

// Where a file named in the species definition lies, judged before anything is opened.
struct ConfinedPath {
    enum class Status { Inside, Outside, Missing };
    Status status = Status::Missing;
    fs::path path;  // the file below the root, when Inside
};

// Resolves `relative` (forward or back slashes) below `root`. A name that is absolute, climbs
// with "..", or reaches through a link to something outside `root` is Outside: the definition
// is the owner's to edit, but it must not make this program read or copy files from elsewhere.
ConfinedPath confinedPath(const fs::path& root, std::string_view relative);

}  // namespace assets
