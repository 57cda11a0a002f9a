#include "platform/file_handle.h"

#include <io.h>

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

}  // namespace platform
