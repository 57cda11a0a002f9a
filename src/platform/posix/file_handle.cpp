#include "platform/file_handle.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size) {
    while (true) {
        const ssize_t n = ::read(file.get(), into, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return fail(errno, "read");
    }
}

}  // namespace platform
