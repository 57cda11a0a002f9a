#pragma once
#include <cstddef>
#include <utility>

#include "platform/result.h"

namespace platform {

// An open file descriptor that closes itself.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();
    int get() const { return fd_; }
    // Hands the descriptor over; the handle no longer closes it.
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Reads at most `size` bytes at the file's position; 0 at its end.
Result<std::size_t> readSome(const FileHandle& file, char* into, std::size_t size);

}  // namespace platform
