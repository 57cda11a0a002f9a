#include "support/held_files.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace {

HANDLE openFor(const std::string& path, DWORD access, DWORD share, DWORD creation) {
    return CreateFileW(platform::win32::toWide(path).c_str(), access, share, nullptr, creation,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

struct HeldForWriting::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool written = false;
};

HeldForWriting::HeldForWriting(const std::string& path, const std::string& bytes)
    : handle_(std::make_unique<Handle>()) {
    handle_->file = openFor(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    DWORD put = 0;
    handle_->written =
        handle_->file != INVALID_HANDLE_VALUE &&
        WriteFile(handle_->file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
        put == bytes.size();
}

HeldForWriting::~HeldForWriting() {
    if (handle_->file != INVALID_HANDLE_VALUE) CloseHandle(handle_->file);
}

bool HeldForWriting::holds() const {
    return handle_->written;
}

struct UnreadableFile::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
};

UnreadableFile::UnreadableFile(const std::string& path) : handle_(std::make_unique<Handle>()) {
    handle_->file = openFor(path, GENERIC_READ, 0, OPEN_EXISTING);
}

UnreadableFile::~UnreadableFile() {
    if (handle_->file != INVALID_HANDLE_VALUE) CloseHandle(handle_->file);
}

bool UnreadableFile::holds() const {
    return handle_->file != INVALID_HANDLE_VALUE;
}
