#pragma once
#include <cstddef>

#include "platform/file_handle.h"
#include "platform/result.h"

namespace platform {

// Reads at most `size` bytes at the file's position; 0 at its end.
Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size);

}  // namespace platform
