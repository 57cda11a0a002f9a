#pragma once
#include <string>
#include <vector>

namespace platform {

// Reads a whole file. `ok` is false when it cannot be opened; a short read returns what was
// read. Does not take any lock, so a file another program is writing can still be read.
std::string readWholeFile(const std::string& path, bool* ok = nullptr);

// Creates or truncates the file and writes all bytes; false on any failure (open, write,
// close). A failure can leave a truncated file: use replaceWholeFile for documents.
bool writeWholeFile(const std::string& path, const std::string& bytes);

// Writes the bytes to a fresh temporary file beside `path`, flushes it and renames it over
// `path`, so readers see the old or the new content, never a part. Keeps the permission bits
// of an existing target. On failure the target is untouched and the temporary file removed.
bool replaceWholeFile(const std::string& path, const std::string& bytes);

// rename(2): moves `from` over `to`, replacing it, in one step on the same file system.
bool renameReplacing(const std::string& from, const std::string& to);

// Creates one folder level; false when it could not be made (it may already exist).
bool makeFolder(const std::string& path);

enum class PathKind { missing, file, folder };
// What the path names, following symbolic links (a link to a folder is a folder).
PathKind pathKind(const std::string& path);

struct FolderEntry {
    std::string name;
    bool isFolder = false;
};
// The entries of a folder except "." and "..", in the order the file system gives them.
// Links are followed to decide isFolder. An unreadable folder gives an empty list.
std::vector<FolderEntry> listFolder(const std::string& path);

}  // namespace platform
