#pragma once
#include <string>
#include <vector>

#include "platform/result.h"

// What a folder picker needs to know of a folder: the names in it and what each one is. No
// file is opened and nothing about an entry beyond its kind is read.
namespace platform {

enum class EntryKind {
    folder,  // a folder, or a link that leads to one
    file,    // a regular file, or a link that leads to one
    other,   // a device, pipe or socket, or a link that leads nowhere (missing or a loop)
};

struct NamedEntry {
    std::string name;  // the bytes the file system holds, which need not be UTF-8
    EntryKind kind = EntryKind::other;
};

// The entries of the folder at `path` except "." and "..", in the file system's order. Links
// are followed only to tell what an entry is, exactly as opening it would follow them.
// Fails with the system's code: ENOENT (missing), ENOTDIR (not a folder), EACCES (not
// readable), ELOOP (links in a loop), ENAMETOOLONG.
Result<std::vector<NamedEntry>> readFolderNames(const std::string& path);

// What `path` names, links followed; `other` also when there is nothing there.
EntryKind entryKindAt(const std::string& path);

}  // namespace platform
