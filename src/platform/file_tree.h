#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/result.h"

// Steps on paths, links and folder trees that std::filesystem takes alike on every system,
// with its error_code forms so that none throws. Paths are UTF-8 text.
namespace platform {

// A path for std::filesystem from UTF-8 text, and back. A plain std::string would be read in
// the ANSI code page on Windows, which loses every character it cannot hold; on Linux both
// are the bytes unchanged.
std::filesystem::path pathOf(const std::string& utf8);
std::string textOf(const std::filesystem::path& path);

// `name` below `folder`, joined as the system joins paths (no second separator after one
// the folder ends with; on Windows its own separator).
std::string joinPath(const std::string& folder, const std::string& name);

// The folder the path names its last part in ("/a/b" gives "/a"; a bare name gives "").
std::string parentPath(const std::string& path);

// What the path itself is, a link not followed.
enum class OwnKind {
    missing,  // nothing there, or its state cannot be read
    file,     // a regular file
    folder,   // a folder
    link,     // a symbolic link, whatever it leads to
    other,    // a device, pipe or socket
};
OwnKind ownKindAt(const std::string& path);

// The size of the regular file the path leads to, links followed; fails for a folder, a
// device or pipe, and for nothing there.
Result<std::uint64_t> fileSize(const std::string& path);

// Deletes one entry: a file, a link (never what it leads to) or an empty folder. Nothing
// there is no failure.
Result<> removeEntry(const std::string& path);

// Deletes the path and, when it is a folder, everything below it; a link is removed, never
// followed. Nothing there is no failure.
Result<> removeTree(const std::string& path);

// rename(2) for files and folders alike: a file, or on Linux an empty folder, at `to` is
// replaced. Stays on one file system.
Result<> moveEntry(const std::string& from, const std::string& to);

// A second name `to` for the file `from`; fails across file systems and where `to` exists.
Result<> makeHardLink(const std::string& from, const std::string& to);

// The path made absolute against the current folder; nothing need exist.
Result<std::string> absolutePath(const std::string& path);

// The path with every link, "." and ".." resolved; fails when it does not exist.
Result<std::string> canonicalPath(const std::string& path);

// As canonicalPath for the part of the path that exists, the rest appended as given.
Result<std::string> weaklyCanonicalPath(const std::string& path);

// `inner` is `outer` or lies below it, compared by whole components, so "/a/dino2" is not
// below "/a/dino". Nothing is resolved: give both in the same form.
bool holdsPath(const std::string& outer, const std::string& inner);

struct OwnEntry {
    std::string name;
    OwnKind kind = OwnKind::missing;
};
// Calls `visit` with each entry of a folder except "." and "..", as it is itself (links not
// followed), in the file system's order, while the listing goes on; an entry whose state
// cannot be read is passed over. A folder that cannot be opened has no entries. The first
// failure `visit` gives ends the walk and is given back; a listing that breaks off partway
// fails after the entries before it were visited.
Result<> visitOwnEntries(const std::string& folder,
                         const std::function<Result<>(const OwnEntry&)>& visit);

}  // namespace platform
