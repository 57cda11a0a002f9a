#include "shell/page_channel.h"

#include <algorithm>
#include <charconv>
#include <system_error>

struct PageChannel::Stream {
    std::string pending;
    bool ended = false;
    std::uint64_t mark = 0;
};

PageChannel::StreamPtr PageChannel::connect(std::string_view lastEventId, bool* missed) {
    auto stream = std::make_shared<Stream>();
    stream->pending = "retry: 1000\n\n";
    std::lock_guard lock(mutex_);
    if (missed) {
        std::uint64_t last = 0;
        auto [end, error] =
            std::from_chars(lastEventId.data(), lastEventId.data() + lastEventId.size(), last);
        const bool number = error == std::errc() && end == lastEventId.data() + lastEventId.size();
        // An id we cannot read counts as behind: better one refresh too many than a page left
        // showing the past.
        *missed = !lastEventId.empty() && (!number || last < published_);
    }
    if (closed_) {
        stream->ended = true;
    } else {
        streams_.insert(stream);
    }
    return stream;
}

void PageChannel::publish(std::string_view message) {
    std::lock_guard lock(mutex_);
    appendToAll(numberedEvent(message));
}

std::size_t PageChannel::publishMarked(std::string_view message, std::uint64_t mark) {
    std::lock_guard lock(mutex_);
    return appendToAll(numberedEvent(message), mark);
}

std::string PageChannel::numberedEvent(std::string_view message) {
    return "id: " + std::to_string(++published_) + "\n" + messageEvent(message);
}

bool PageChannel::anyMarked(std::uint64_t mark) {
    std::lock_guard lock(mutex_);
    for (const StreamPtr& stream : streams_) {
        if (stream->mark == mark) return true;
    }
    return false;
}

void PageChannel::unmark(std::uint64_t mark) {
    std::lock_guard lock(mutex_);
    for (const StreamPtr& stream : streams_) {
        if (stream->mark == mark) stream->mark = 0;
    }
}

void PageChannel::publishReload() {
    std::lock_guard lock(mutex_);
    appendToAll("event: reload\ndata: {}\n\n");
}

std::size_t PageChannel::appendToAll(std::string_view text, std::uint64_t mark) {
    if (closed_ || streams_.empty()) return 0;
    auto drop = [this](std::set<StreamPtr>::iterator it) {
        (*it)->ended = true;
        // The stream object lives on until its connection ends; its backlog must not.
        std::string().swap((*it)->pending);
        return streams_.erase(it);
    };
    std::size_t total = 0;
    for (const StreamPtr& stream : streams_)
        total += stream->pending.size();
    while (!streams_.empty() && total + text.size() * streams_.size() > kMaxPendingTotalBytes) {
        auto furthest = std::ranges::max_element(
            streams_, {}, [](const StreamPtr& stream) { return stream->pending.size(); });
        // Nobody is behind: the text alone is too much for all of them, and each still gets
        // it up to its own limit below.
        if ((*furthest)->pending.empty()) break;
        total -= (*furthest)->pending.size();
        drop(furthest);
    }
    std::size_t reached = 0;
    for (auto it = streams_.begin(); it != streams_.end();) {
        Stream& stream = **it;
        if (stream.pending.size() + text.size() > kMaxPendingBytes) {
            it = drop(it);
            continue;
        }
        stream.pending.append(text);
        if (mark != 0) stream.mark = mark;
        ++reached;
        ++it;
    }
    changed_.notify_all();
    return reached;
}

std::optional<std::string> PageChannel::next(const StreamPtr& stream,
                                             std::chrono::milliseconds idle) {
    std::unique_lock lock(mutex_);
    if (stream->mark != 0) idle = std::min(idle, kMarkedKeepAlive);
    changed_.wait_for(lock, idle,
                      [&] { return stream->ended || closed_ || !stream->pending.empty(); });
    if (!stream->pending.empty() && !stream->ended) {
        std::string text;
        text.swap(stream->pending);
        return text;
    }
    if (stream->ended || closed_) {
        // It stays counted until disconnect(): its stream still has its end to write, and
        // waitAllEnded() is there to let it.
        stream->ended = true;
        return std::nullopt;
    }
    return std::string();
}

void PageChannel::disconnect(const StreamPtr& stream) {
    std::lock_guard lock(mutex_);
    stream->ended = true;
    std::string().swap(stream->pending);
    streams_.erase(stream);
    changed_.notify_all();
}

void PageChannel::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool PageChannel::waitAllEnded(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return streams_.empty(); });
}

std::size_t PageChannel::connectedCount() {
    std::lock_guard lock(mutex_);
    return streams_.size();
}

std::string PageChannel::messageEvent(std::string_view message) {
    std::string event;
    event.reserve(message.size() + 8);
    event += "data: ";
    for (char c : message)
        event += c == '\n' || c == '\r' ? ' ' : c;
    event += "\n\n";
    return event;
}
