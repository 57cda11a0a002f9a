#include "species/tree_copy.h"

#include <optional>
#include <utility>

#include "bridge/files.h"
#include "platform/ascii.h"
#include "platform/copy_file.h"
#include "platform/file_tree.h"

namespace species {

namespace {

using platform::OwnKind;

// Walks one chosen folder; `base` is its resolved path, the fence for links to files.
class TreeCopy {
  public:
    explicit TreeCopy(std::string base) : base_(std::move(base)) {}

    platform::Result<std::size_t> copyFolder(const std::string& from, const std::string& to) {
        std::size_t copied = 0;
        // A failure below is given back as it is; only this folder's own is named here.
        std::optional<platform::Failure> below;
        const platform::Result<> listed =
            platform::visitOwnEntries(from, [&](const platform::OwnEntry& entry) {
                const std::string path = platform::joinPath(from, entry.name);
                if (entry.kind == OwnKind::folder) {
                    const std::string into = platform::joinPath(to, entry.name);
                    if (!isRealFolderOrMissing(into)) return platform::Result<>();
                    platform::Result<std::size_t> inner = copyFolder(path, into);
                    if (!inner) {
                        below = inner.error();
                        return platform::Result<>(std::unexpected(inner.error()));
                    }
                    copied += *inner;
                } else if (isImportFile(entry.name)) {
                    const std::string file =
                        entry.kind == OwnKind::link ? insideTarget(path) : path;
                    if (!file.empty() && copyFile(file, to, entry.name)) ++copied;
                }
                return platform::Result<>();
            });
        if (below) return std::unexpected(*below);
        if (!listed) return platform::fail(listed.error().code, from);
        return copied;
    }

  private:
    // The file a link leads to, when that is a regular file inside the chosen folder; empty
    // otherwise.
    std::string insideTarget(const std::string& link) const {
        platform::Result<std::string> target = platform::canonicalPath(link);
        // Resolved, the target is no link: what it is itself is what the link leads to.
        if (!target || platform::ownKindAt(*target) != OwnKind::file) return {};
        // Compared by whole components, so a sibling "models2" is not inside "models".
        return platform::holdsPath(base_, *target) ? *target : std::string();
    }

    static bool isRealFolderOrMissing(const std::string& path) {
        const OwnKind kind = platform::ownKindAt(path);
        return kind == OwnKind::missing || kind == OwnKind::folder;
    }

    // `file` is a resolved link's target or an entry that is no link itself, so what it is
    // itself is what opening it finds.
    static bool copyFile(const std::string& file, const std::string& folder,
                         const std::string& name) {
        if (platform::ownKindAt(file) != OwnKind::file) return false;
        if (!bridge::makeDirs(folder)) return false;
        const std::string target = platform::joinPath(folder, name);
        // A link at the target is replaced by the file rather than written through.
        if (platform::ownKindAt(target) == OwnKind::link) (void)platform::removeEntry(target);
        return platform::copyFileReplacing(file, target).has_value();
    }

    std::string base_;
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
    platform::Result<std::string> base = platform::canonicalPath(from);
    if (!base) return 0;
    return TreeCopy(std::move(*base)).copyFolder(from, to);
}

bool holdsOrLiesInside(const std::string& from, const std::string& to) {
    const platform::Result<std::string> a = platform::weaklyCanonicalPath(from);
    if (!a) return false;
    const platform::Result<std::string> b = platform::weaklyCanonicalPath(to);
    if (!b) return false;
    // Whole components, so "dino2" neither holds nor lies inside "dino".
    return platform::holdsPath(*a, *b) || platform::holdsPath(*b, *a);
}

}  // namespace species
