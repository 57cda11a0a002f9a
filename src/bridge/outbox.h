#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

// The single queue through which every outbound message travels, from any thread, to the
// host's loop. Messages leave in posting order (per posting thread, and globally in the
// order the posts took the lock).
class Outbox {
  public:
    void post(std::string message);

    // Blocks until a message is queued and returns it; after close(), returns what is still
    // queued and then nothing.
    std::optional<std::string> waitNext();

    // Everything queued now, without waiting.
    std::vector<std::string> takeAll();

    // Wakes the waiting host loop; later posts are dropped.
    void close();

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> queue_;
    bool closed_ = false;
};

}  // namespace bridge
