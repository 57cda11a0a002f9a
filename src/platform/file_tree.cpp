#include "platform/file_tree.h"

#include <algorithm>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

OwnKind kindOf(const fs::file_status& status) {
    switch (status.type()) {
        case fs::file_type::regular:
            return OwnKind::file;
        case fs::file_type::directory:
            return OwnKind::folder;
        case fs::file_type::symlink:
            return OwnKind::link;
        case fs::file_type::none:
        case fs::file_type::not_found:
            return OwnKind::missing;
        default:
            return OwnKind::other;
    }
}

Result<> checked(const std::error_code& failed, const char* what) {
    if (failed) return fail(failed.value(), what);
    return {};
}

Result<std::string> textChecked(const fs::path& path, const std::error_code& failed,
                                const char* what) {
    if (failed) return fail(failed.value(), what);
    return textOf(path);
}

}  // namespace

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string textOf(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return textOf(pathOf(folder) / pathOf(name));
}

std::string parentPath(const std::string& path) {
    return textOf(pathOf(path).parent_path());
}

OwnKind ownKindAt(const std::string& path) {
    std::error_code failed;
    const fs::file_status status = fs::symlink_status(pathOf(path), failed);
    // An unreadable state has the type "none"; a status the library cannot name, "unknown",
    // is no file or folder the callers could use either.
    return failed ? OwnKind::missing : kindOf(status);
}

Result<std::uint64_t> fileSize(const std::string& path) {
    std::error_code failed;
    const std::uintmax_t size = fs::file_size(pathOf(path), failed);
    if (failed) return fail(failed.value(), "read the size");
    return static_cast<std::uint64_t>(size);
}

Result<> removeEntry(const std::string& path) {
    std::error_code failed;
    fs::remove(pathOf(path), failed);
    return checked(failed, "delete");
}

Result<> removeTree(const std::string& path) {
    std::error_code failed;
    fs::remove_all(pathOf(path), failed);
    return checked(failed, "delete the folder");
}

Result<> moveEntry(const std::string& from, const std::string& to) {
    std::error_code failed;
    fs::rename(pathOf(from), pathOf(to), failed);
    return checked(failed, "rename");
}

Result<> makeHardLink(const std::string& from, const std::string& to) {
    std::error_code failed;
    fs::create_hard_link(pathOf(from), pathOf(to), failed);
    return checked(failed, "link");
}

Result<std::string> absolutePath(const std::string& path) {
    std::error_code failed;
    const fs::path absolute = fs::absolute(pathOf(path), failed);
    return textChecked(absolute, failed, "make the path absolute");
}

Result<std::string> canonicalPath(const std::string& path) {
    std::error_code failed;
    const fs::path resolved = fs::canonical(pathOf(path), failed);
    return textChecked(resolved, failed, "resolve the path");
}

Result<std::string> weaklyCanonicalPath(const std::string& path) {
    std::error_code failed;
    const fs::path resolved = fs::weakly_canonical(pathOf(path), failed);
    return textChecked(resolved, failed, "resolve the path");
}

bool holdsPath(const std::string& outer, const std::string& inner) {
    const fs::path a = pathOf(outer);
    const fs::path b = pathOf(inner);
    return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first == a.end();
}

Result<> visitOwnEntries(const std::string& folder,
                         const std::function<Result<>(const OwnEntry&)>& visit) {
    std::error_code failed;
    fs::directory_iterator walk(pathOf(folder), failed);
    if (failed) return {};
    // Stepped by hand: the range loop's step throws when the listing breaks off.
    for (; walk != fs::directory_iterator(); walk.increment(failed)) {
        if (failed) break;
        std::error_code unreadable;
        const fs::file_status status = walk->symlink_status(unreadable);
        if (unreadable) continue;
        if (Result<> visited = visit({textOf(walk->path().filename()), kindOf(status)}); !visited)
            return visited;
    }
    return checked(failed, "read the folder");
}

}  // namespace platform
