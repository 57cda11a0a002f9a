#pragma once
#include <string>

#include "platform/result.h"

namespace platform {

// Copies a file that an unpacked archive brought, for installing it. `from` must be a
// regular file itself: not a link, FIFO or device, and with no second name (one hard link),
// so an archive cannot make the copy read a file from elsewhere on the machine. The bytes
// are streamed to a temporary file beside `to` and renamed over it, so a program reading
// `to` meanwhile sees the old or the new file, never a part; on failure `to` is untouched.
Result<> copyUnpackedFile(const std::string& from, const std::string& to);

}  // namespace platform
