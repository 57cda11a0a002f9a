#pragma once
#include <windows.h>

#include <utility>

namespace platform::win32 {

// A kernel handle that closes itself. Empty is INVALID_HANDLE_VALUE, what CreateFileW gives
// on failure.
class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { close(); }

    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now; false when the system reports the close failed (a write may be lost).
    bool close() {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace platform::win32
