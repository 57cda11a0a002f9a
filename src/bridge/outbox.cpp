#include "bridge/outbox.h"

namespace bridge {

void Outbox::post(std::string message) {
    // Notified under the lock: a detached worker's last post is then wholly done once anyone
    // has taken its message, so the taker may end the outbox without the worker still
    // touching it.
    std::lock_guard lock(mutex_);
    if (closed_) return;
    queue_.push_back(std::move(message));
    ready_.notify_one();
}

std::optional<std::string> Outbox::waitNext() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || !queue_.empty(); });
    if (queue_.empty()) return std::nullopt;
    std::string message = std::move(queue_.front());
    queue_.pop_front();
    return message;
}

std::vector<std::string> Outbox::takeAll() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> all(std::make_move_iterator(queue_.begin()),
                                 std::make_move_iterator(queue_.end()));
    queue_.clear();
    return all;
}

void Outbox::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

}  // namespace bridge
