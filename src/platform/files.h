#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/result.h"

namespace platform {

// A file open for reading, and its size when it was opened.
struct ReadableFile {
    FileHandle handle;
    std::uint64_t size = 0;
};

// Opens a file for reading (readSome) as readWholeFile does: fails when it cannot be opened
// or is not a regular file; other programs may go on reading and writing it.
Result<ReadableFile> openForReading(const std::string& path);

// Reads a whole file. Fails when it cannot be opened or is not a regular file; a short read
// returns what was read. Does not take any lock, so a file another program is writing can
// still be read.
Result<std::string> readWholeFile(const std::string& path);

// Creates or truncates the file and writes all bytes; fails on any failure of open, write or
// close. A failure can leave a truncated file: use replaceWholeFile for documents.
Result<> writeWholeFile(const std::string& path, const std::string& bytes);

// Creates the file anew and writes all bytes, for the files the tool itself owns (its
// temporaries, its job files). Whatever stands at `path` and is no folder, a link someone
// planted there included, is removed first, and the new file is created where nothing is
// (never opened through a link), so the bytes cannot land outside the folder. Fails when
// something else takes the place meanwhile.
Result<> createWholeFile(const std::string& path, const std::string& bytes);

// What a save does with a symbolic link at the file's own name.
enum class AtLink {
    follow,   // an owner's link to their document: the file it names is replaced
    replace,  // a file the tool writes: the link itself is replaced by the file
};

// Writes the bytes to a fresh temporary file beside `path`, flushes it and renames it over
// `path`, so readers see the old or the new content, never a part. The temporary has the
// permission bits of an existing target from its creation on (on Windows: the entries the
// target's access list holds itself, and its protection from inheritance). A `path` that is a
// symbolic link is treated as `atLink` says. Temporaries of the same file left by an earlier save
// that died are removed. On failure the target is untouched and the temporary file removed.
Result<> replaceWholeFile(const std::string& path, const std::string& bytes,
                          AtLink atLink = AtLink::follow);

// rename(2): moves `from` over `to`, replacing it, in one step on the same file system.
Result<> renameReplacing(const std::string& from, const std::string& to);

// Creates one folder level; fails when it could not be made (it may already exist).
Result<> makeFolder(const std::string& path);

// The path itself is a symbolic link (whatever it names, if anything).
bool isSymbolicLink(const std::string& path);

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
