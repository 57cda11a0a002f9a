#pragma once
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace assets {

namespace fs = std::filesystem;

// What a walk of the owner's source folder found: paths relative to it with forward slashes,
// sorted by name so that results do not depend on the file system's listing order.
struct SourceListing {
    std::vector<std::string> files;
    std::vector<std::string> links;  // links met on the way; never followed, never read
};

// Every file below `root` whose extension is one of `extensions` (lower case, with the dot;
// compared without regard to case). Links to files or folders are reported, not followed, so
// nothing outside the folder is ever read through one.
SourceListing listSourceFiles(const fs::path& root,
                              std::initializer_list<std::string_view> extensions);

// `path`'s extension in lower case, with its dot ("" when it has none).
std::string lowerExtension(const fs::path& path);

// The whole of `file`, or nothing when it cannot be opened.
std::optional<std::string> readWholeFile(const fs::path& file);

// Writes `bytes` next to `target` and renames the copy over it, so a reader sees either the
// old file or the whole new one, never a half-written one. Empty on success, else the reason.
std::string writeFileAtomically(const fs::path& target, std::string_view bytes);

}  // namespace assets
