#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/request_path.h"
#include "platform/result.h"

// Both page hosts serve two folders of the user's (the extracted assets and the server's
// species folder) to the page. Nothing a request says may lead them to a file outside.
namespace platform {

// Opens `relative` inside `folder` for reading when it is a regular file that really lies
// inside the folder, every link resolved: the open descriptor's own name is checked, so no
// link can be swapped in between a check and the open. Links that stay inside are followed.
// Fails with the code ENOENT for a missing file or folder and EACCES for anything refused.
Result<FileHandle> openInsideFolder(const std::string& folder, const std::string& relative);

// The size of an open file.
Result<std::uint64_t> openFileSize(const FileHandle& file);

// Content-Type of a folder file by its ending, letter case ignored.
std::string_view folderFileType(std::string_view path);

}  // namespace platform
