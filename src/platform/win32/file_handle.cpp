#include "platform/file_handle.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace platform {

// On Windows the descriptor is one of the C runtime's, made from a file handle with
// _open_osfhandle; closing it closes the handle too.
FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::_close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::_close(fd_);
}

Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size) {
    const int n =
        ::_read(file.get(), into, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    if (n < 0) return fail(errno, "read");
    return static_cast<std::size_t>(n);
}

}  // namespace platform
