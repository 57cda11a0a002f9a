#pragma once
#include <string>

#include "platform/result.h"

namespace platform {

// Replaces a file that holds a secret (the build service token): the bytes go to a fresh
// temporary file beside `path` that only its owner may read or write from the moment it
// exists, are flushed, and the file is renamed over `path`. The result is mode 0600 (on
// Windows: owned by the user, an access list that lets only them in and inherits nothing)
// whatever the old file's or the folder's rights were, and readers see the old or the new
// content, never a part. On failure the target is untouched and the temporary file removed.
Result<> replacePrivateFile(const std::string& path, const std::string& bytes);

// Deletes a file; a file that is already gone is no failure.
Result<> removeFile(const std::string& path);

}  // namespace platform
