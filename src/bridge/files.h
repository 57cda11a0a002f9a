#pragma once
#include <string>
#include <vector>

#include "platform/result.h"

namespace bridge {

// What the bridge adds to the platform's file steps: reads that give empty, folders made a
// whole path at once, sorted and filtered listings, copies that refuse a missing source. A
// single step (write, replace, rename, delete, size) is the platform function itself. None
// throws: a write fails with its reason, a read that fails gives an empty result, a listing
// that fails an empty list.

// The file's bytes; empty when it cannot be opened (a missing and an empty file look alike,
// as every document the handlers read is meant to).
std::string readFileBytes(const std::string& path);

// Creates every missing level of the path; existing levels are harmless. Fails when the
// path is not a folder at the end.
platform::Result<> makeDirs(const std::string& path);

// Names of the subfolders that do not begin with '.', sorted by name.
std::vector<std::string> listSubdirs(const std::string& folder);

// Names of the non-folder entries matching a wildcard pattern ('*' and '?', letter case
// ignored as on Windows), sorted by name.
std::vector<std::string> listFiles(const std::string& folder, const std::string& pattern);

// Exists and is not a folder.
bool fileExists(const std::string& path);

// Exists and is a folder.
bool folderExists(const std::string& path);

// Copies a file's bytes over `to` (created or replaced); fails when `from` cannot be read,
// so a missing file is not copied as an empty one.
platform::Result<> copyFileBytes(const std::string& from, const std::string& to);

// Wildcard match of a file name, '*' and '?' with ASCII letter case ignored.
bool wildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace bridge
