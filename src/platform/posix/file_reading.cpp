#include "platform/file_reading.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size) {
    while (true) {
        const ssize_t n = ::read(file.get(), into, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return fail(errno, "read");
    }
}

}  // namespace platform
