#pragma once
#include <cstddef>
#include <string>

#include "shell/page_dialogs.h"

// What the page's picker is shown of a folder. The picker browses the whole file system, as a
// native dialog does, so what keeps it in bounds is what it is told: the names in one folder
// and whether each is a folder, nothing more. No file is opened or read, no size, date, owner
// or link target is told, and nothing is ever written. Links are followed exactly as far as
// opening the typed or clicked path follows them, never resolved into another path; an entry
// that leads nowhere (a missing target, a loop) or to a device, pipe or socket is left out.

// One listing the picker asks for.
struct ListingRequest {
    // An absolute path, taken as it is (never normalised).
    std::string path;
    // Names starting with "." are shown too.
    bool hidden = false;
    // Which of a file dialog's filters applies.
    std::size_t filter = 0;
};

// At most this many entries go to the page; the rest are only counted.
inline constexpr std::size_t kListedEntries = 5000;
// Longer paths are refused before the file system is asked (PATH_MAX less its NUL).
inline constexpr std::size_t kMaxListedPathBytes = 4095;

// The answer for the picker of `dialog`, as JSON: {"path", "entries": [{"name", "folder"
// [, "broken"]}], "more"} with the folders first, then (in a file dialog) the files that
// match the filter, each group sorted by name; or {"path", "reason", "error"}: a word for
// the picker (relative, long, missing, file, loop, unreadable) and a sentence for the person.
// "broken" marks a name that is not valid UTF-8: shown with U+FFFD in it, it would name another
// entry, so it cannot be chosen.
std::string listingJson(const PageDialog& dialog, const ListingRequest& request);
