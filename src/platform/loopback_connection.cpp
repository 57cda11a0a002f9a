#include <algorithm>
#include <chrono>

#include "platform/http_message.h"
#include "platform/loopback_listener.h"

// The part of a loopback connection that is the same on both systems; the socket calls beneath
// it are each system's own (posix/loopback_listener.cpp, win32/loopback_listener.cpp).

namespace platform {

std::string LoopbackConnection::receiveHead(std::size_t maxBytes, std::uint32_t waitMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::string bytes;
    while (headProgress(bytes, maxBytes).kind == HeadProgress::partial) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        std::string more =
            receiveOnce(maxBytes - bytes.size(),
                        static_cast<std::uint32_t>(std::max<long long>(0, left.count())));
        // Nothing in the time left, or the peer closed its side: the head is what came.
        if (more.empty()) break;
        bytes += more;
    }
    return bytes;
}

}  // namespace platform
