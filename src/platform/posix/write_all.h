#pragma once
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/result.h"

namespace platform {

// Writes every byte to `fd`, going on after short writes and interruptions.
inline Result<> writeAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno, "write");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return {};
}

}  // namespace platform
