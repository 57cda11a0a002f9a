#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The way from the host to the pages in the browser: one event stream per connected page.
// Every connected page gets every message, in the order they were published; a page that
// reloads, or a second tab, simply connects again and hears from then on. When no page is
// connected a message is dropped, as a window drops what comes before its web view is ready;
// the page asks for everything with init once it is there.
class PageChannel {
  public:
    struct Stream;
    using StreamPtr = std::shared_ptr<Stream>;

    // A new page stream. Its first text tells the browser how soon to reconnect. A browser
    // that reconnects names the last message it received (`lastEventId`, from the event ids
    // the messages carry; empty on a first connect): `missed` tells whether messages were
    // published after it, which that page never got.
    StreamPtr connect(std::string_view lastEventId = {}, bool* missed = nullptr);

    // One message to every connected page, as a "message" event.
    void publish(std::string_view message);

    // One message to every connected page, each of which is marked with `mark` (not 0) until
    // unmark(mark); returns how many pages it reached. A marked page's stream writes a
    // keep-alive every kMarkedKeepAlive, so a page that has gone is noticed within about twice
    // that: the first write to a closed connection still succeeds, the next one fails.
    std::size_t publishMarked(std::string_view message, std::uint64_t mark);

    // Whether a page marked with `mark` is still connected.
    bool anyMarked(std::uint64_t mark);

    // The pages marked with `mark` are no longer watched closely.
    void unmark(std::uint64_t mark);

    static constexpr std::chrono::milliseconds kMarkedKeepAlive{1000};

    // Tells every connected page to load itself again.
    void publishReload();

    // The text the stream is to write next. Waits up to `idle` for something to send and then
    // returns an empty string (time for a keep-alive). Nothing when the stream is to end: it
    // was disconnected, or the channel was closed and all it held has been handed out.
    std::optional<std::string> next(const StreamPtr& stream, std::chrono::milliseconds idle);

    // The page went away, or its stream has written its end; what it still held is dropped.
    // Every stream is disconnected once it is over, whatever next() said.
    void disconnect(const StreamPtr& stream);

    // No more messages; each stream ends after writing what it holds.
    void close();

    // Waits until every stream has been disconnected, at most `limit`; true when they all
    // have.
    bool waitAllEnded(std::chrono::milliseconds limit);

    std::size_t connectedCount();

    // One message as an event-stream event. The message is one line: escaped strings never
    // hold a raw line end, and outside strings a line end and a blank mean the same to JSON,
    // while a raw line end would split the event.
    static std::string messageEvent(std::string_view message);

    // A page that stops reading must not make the host hold its messages without bound; past
    // this many waiting bytes the page is dropped (it reconnects and asks again).
    static constexpr std::size_t kMaxPendingBytes = std::size_t{64} << 20;
    // And many pages that stop reading (tabs left open on a sleeping machine) must not add up:
    // past this many waiting bytes in all, the page furthest behind is dropped.
    static constexpr std::size_t kMaxPendingTotalBytes = std::size_t{96} << 20;

  private:
    // Returns how many streams took the text.
    std::size_t appendToAll(std::string_view text, std::uint64_t mark = 0);
    // The next message's event, with its id. Under the lock.
    std::string numberedEvent(std::string_view message);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<StreamPtr> streams_;
    // How many messages were published; each carries its number as its event id.
    std::uint64_t published_ = 0;
    bool closed_ = false;
};
