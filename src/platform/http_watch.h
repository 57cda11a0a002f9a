#pragma once
#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/http.h"

namespace platform {

// The longest a whole exchange may take by `timeouts`: overallMs, plus msPerMiB for each MiB
// (begun) the request sends and each the answer may download. Nothing when there is no
// overall limit.
std::optional<std::chrono::milliseconds> httpOverallLimit(const HttpTimeouts& timeouts,
                                                          std::uint64_t sendBytes,
                                                          std::uint64_t downloadCap);

// Says when an exchange has waited too long. The HTTP clients keep one per exchange, tell it
// whenever bytes move, and ask it between their waits.
class HttpWatch {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Step { reaching, sending, receiving };

    HttpWatch(const HttpTimeouts& timeouts, std::uint64_t sendBytes, std::uint64_t downloadCap,
              Clock::time_point start = Clock::now());

    // A byte moved, or the exchange went on to its next step.
    void moved(Clock::time_point now = Clock::now()) { lastMove_ = now; }

    // How long the exchange may still wait in `step`: reaching the host (name, connection,
    // TLS) has resolveMs + connectMs from the start; sending and receiving each have sendMs
    // and receiveMs from the last move; none may go past the overall limit. Zero or less once
    // the wait has been too long.
    Clock::duration left(Step step, Clock::time_point now = Clock::now()) const;

    // True once the overall limit has passed (rather than a step's own).
    bool pastDeadline(Clock::time_point now = Clock::now()) const {
        return deadline_ && now >= *deadline_;
    }

  private:
    HttpTimeouts timeouts_;
    Clock::time_point start_;
    Clock::time_point lastMove_;
    std::optional<Clock::time_point> deadline_;
};

}  // namespace platform
