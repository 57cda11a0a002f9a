#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace species {

// True for the files an import takes: .fbx, .png, .tga, .jpg and .jpeg, in any letter case.
bool isImportFile(std::string_view name);

// Copies every import file below `from` into the same relative place below `to`, replacing
// files already there, and returns how many copies succeeded. A target sub-folder is made only
// when a file goes into it; nothing in `to` is ever deleted.
//
// The chosen folder is someone else's download as often as not, so links are handled with
// care: a link to a folder is never entered (a loop would never end), a link to a file is
// copied only when the file lies inside `from`, and a link or file already standing in `to`
// where a folder is needed, or a link where a file goes, is never written through. Nothing is
// written outside `to`.
//
// A folder that cannot be opened counts as holding nothing; one whose listing breaks off
// part-way fails the copy (its `what` names the folder), as an import that silently left out
// files would look whole.
platform::Result<std::size_t> copyImportTree(const std::string& from, const std::string& to);

// True when copying `from` into `to` would copy into itself: `from` is `to`, holds it (the
// workspace, the species folder, the server folder) or lies inside it. Links are followed on
// both sides, and a `to` that does not exist yet is placed where it would be made.
bool holdsOrLiesInside(const std::string& from, const std::string& to);

}  // namespace species
