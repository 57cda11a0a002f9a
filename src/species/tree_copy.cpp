#include "species/tree_copy.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "bridge/files.h"
#include "platform/ascii.h"
#include "platform/copy_file.h"

namespace species {

namespace fs = std::filesystem;

namespace {

// Walks one chosen folder; `base` is its resolved path, the fence for links to files.
class TreeCopy {
  public:
    explicit TreeCopy(fs::path base) : base_(std::move(base)) {}

    platform::Result<std::size_t> copyFolder(const fs::path& from, const fs::path& to) {
        std::error_code failed;
        fs::directory_iterator entries(from, failed);
        if (failed) return 0;
        std::size_t copied = 0;
        // Stepped by hand: the range loop's step throws when the listing breaks off.
        for (; entries != fs::directory_iterator(); entries.increment(failed)) {
            if (failed) break;
            const fs::directory_entry& entry = *entries;
            const fs::path name = entry.path().filename();
            std::error_code unreadable;
            const fs::file_status status = entry.symlink_status(unreadable);
            if (unreadable) continue;
            if (fs::is_directory(status)) {
                if (!isRealFolderOrMissing(to / name)) continue;
                platform::Result<std::size_t> below = copyFolder(entry.path(), to / name);
                if (!below) return below;
                copied += *below;
            } else if (isImportFile(bridge::textOf(name))) {
                const fs::path file =
                    fs::is_symlink(status) ? insideTarget(entry.path()) : entry.path();
                if (!file.empty() && copyFile(file, to, name)) ++copied;
            }
        }
        if (failed) return platform::fail(failed.value(), bridge::textOf(from));
        return copied;
    }

  private:
    // The file a link leads to, when that is a regular file inside the chosen folder; empty
    // otherwise.
    fs::path insideTarget(const fs::path& link) const {
        std::error_code failed;
        fs::path target = fs::canonical(link, failed);
        if (failed || !fs::is_regular_file(fs::status(target, failed))) return {};
        // Compared by whole components, so a sibling "models2" is not inside "models".
        const bool inside =
            std::mismatch(base_.begin(), base_.end(), target.begin(), target.end()).first ==
            base_.end();
        return inside ? target : fs::path();
    }

    static bool isRealFolderOrMissing(const fs::path& path) {
        std::error_code failed;
        const fs::file_status status = fs::symlink_status(path, failed);
        return !fs::exists(status) || fs::is_directory(status);
    }

    static bool copyFile(const fs::path& file, const fs::path& folder, const fs::path& name) {
        std::error_code failed;
        if (!fs::is_regular_file(fs::status(file, failed))) return false;
        fs::create_directories(folder, failed);
        if (failed) return false;
        const fs::path target = folder / name;
        // A link at the target is replaced by the file rather than written through.
        if (fs::is_symlink(fs::symlink_status(target, failed))) fs::remove(target, failed);
        return platform::copyFileReplacing(file, target).has_value();
    }

    fs::path base_;
};

}  // namespace

bool isImportFile(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view extension = name.substr(dot);
    for (const char* wanted : {".fbx", ".png", ".tga", ".jpg", ".jpeg"}) {
        if (platform::equalsIgnoringAsciiCase(extension, wanted)) return true;
    }
    return false;
}

platform::Result<std::size_t> copyImportTree(const std::string& from, const std::string& to) {
    std::error_code failed;
    fs::path base = fs::canonical(bridge::pathOf(from), failed);
    if (failed) return 0;
    return TreeCopy(std::move(base)).copyFolder(bridge::pathOf(from), bridge::pathOf(to));
}

bool holdsOrLiesInside(const std::string& from, const std::string& to) {
    std::error_code failed;
    const fs::path a = fs::weakly_canonical(bridge::pathOf(from), failed);
    if (failed) return false;
    const fs::path b = fs::weakly_canonical(bridge::pathOf(to), failed);
    if (failed) return false;
    // Whole components, so "dino2" neither holds nor lies inside "dino".
    const auto shorter = std::distance(a.begin(), a.end()) <= std::distance(b.begin(), b.end());
    const fs::path& outer = shorter ? a : b;
    const fs::path& inner = shorter ? b : a;
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first ==
           outer.end();
}

}  // namespace species
