#include "platform/file_reading.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace platform {

Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size) {
    const int n =
        ::_read(file.get(), into, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    if (n < 0) return fail(errno, "read");
    return static_cast<std::size_t>(n);
}

}  // namespace platform
