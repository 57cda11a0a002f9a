#include "platform/http_watch.h"

#include <algorithm>

namespace platform {
namespace {

constexpr std::uint64_t kMebibyte = 1 << 20;
// Far beyond any exchange (about 35 years), and far from overflowing a clock's count.
constexpr std::uint64_t kLongestMs = std::uint64_t{1} << 40;

}  // namespace

std::optional<std::chrono::milliseconds> httpOverallLimit(const HttpTimeouts& timeouts,
                                                          std::uint64_t sendBytes,
                                                          std::uint64_t downloadCap) {
    if (timeouts.overallMs == 0) return std::nullopt;
    // The MiB begun by both together, worked out so that no sum can wrap round: a cap of
    // "any size" must not turn into a short limit.
    const std::uint64_t mebibytes =
        sendBytes / kMebibyte + downloadCap / kMebibyte +
        (sendBytes % kMebibyte + downloadCap % kMebibyte + kMebibyte - 1) / kMebibyte;
    std::uint64_t extra = mebibytes * timeouts.msPerMiB;
    if (timeouts.msPerMiB != 0 && mebibytes > kLongestMs / timeouts.msPerMiB) extra = kLongestMs;
    return std::chrono::milliseconds(std::min(timeouts.overallMs + extra, kLongestMs));
}

HttpWatch::HttpWatch(const HttpTimeouts& timeouts, std::uint64_t sendBytes,
                     std::uint64_t downloadCap, Clock::time_point start)
    : timeouts_(timeouts), start_(start), lastMove_(start) {
    if (auto limit = httpOverallLimit(timeouts, sendBytes, downloadCap)) deadline_ = start + *limit;
}

HttpWatch::Clock::duration HttpWatch::left(Step step, Clock::time_point now) const {
    Clock::time_point until;
    switch (step) {
        case Step::reaching:
            until = start_ + std::chrono::milliseconds(std::uint64_t{timeouts_.resolveMs} +
                                                       timeouts_.connectMs);
            break;
        case Step::sending:
            until = lastMove_ + std::chrono::milliseconds(timeouts_.sendMs);
            break;
        case Step::receiving:
            until = lastMove_ + std::chrono::milliseconds(timeouts_.receiveMs);
            break;
    }
    if (deadline_) until = std::min(until, *deadline_);
    return until - now;
}

}  // namespace platform
