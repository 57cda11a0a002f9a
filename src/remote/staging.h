#pragma once
#include <string>
#include <vector>

namespace remote {

// Gathering a species into the upload's staging folder.

// The pieces of the page's `files` field, split at "|", empty pieces dropped, in order.
std::vector<std::string> splitFileList(const std::string& files);

// Copies <workspace>/species.json and each listed source file into <work>/species.json and
// <work>/source/<entry>, as hard links where the file system allows (large models and sounds
// are not copied), else as copies. Entries may use "/" or "\" between folders; one holding
// "..", a ":" or beginning with a separator is refused, so nothing outside the workspace's
// source folder is read and nothing outside the staging folder written. Returns the words for
// the first failure, or nothing.
std::string stageSpecies(const std::string& workspace, const std::string& work,
                         const std::vector<std::string>& entries);

}  // namespace remote
