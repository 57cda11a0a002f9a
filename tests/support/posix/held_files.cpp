#include "support/held_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct HeldForWriting::Handle {
    int fd = -1;
    bool locked = false;
};

HeldForWriting::HeldForWriting(const std::string& path, const std::string& bytes)
    : handle_(std::make_unique<Handle>()) {
    handle_->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    handle_->locked =
        handle_->fd >= 0 && ::flock(handle_->fd, LOCK_EX) == 0 &&
        ::write(handle_->fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

HeldForWriting::~HeldForWriting() {
    if (handle_->fd >= 0) ::close(handle_->fd);
}

bool HeldForWriting::holds() const {
    return handle_->locked;
}

struct UnreadableFile::Handle {
    bool unreadable = false;
};

UnreadableFile::UnreadableFile(const std::string& path) : handle_(std::make_unique<Handle>()) {
    // Root reads any file whatever its mode.
    handle_->unreadable = ::chmod(path.c_str(), 0) == 0 && ::geteuid() != 0;
}

UnreadableFile::~UnreadableFile() = default;

bool UnreadableFile::holds() const {
    return handle_->unreadable;
}
