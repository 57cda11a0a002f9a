#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/http_message.h"
#include "platform/result.h"

namespace platform {

struct HttpServerLimits {
    // From the connection (or the first byte of a later request) to the end of the head.
    std::chrono::milliseconds headDeadline{5000};
    // A body gets the head's time again plus one second per this many bytes.
    std::size_t bodyBytesPerSecond = std::size_t{16} << 20;
    // How long a connection that has proven itself may wait for its next request.
    std::chrono::milliseconds idleLimit{60000};
    std::size_t maxHeadBytes = std::size_t{64} << 10;
    std::size_t maxBodyBytes = std::size_t{1} << 20;
    // Connections that have not yet sent a request the screen let through. Past this many the
    // oldest of them is closed for the new one.
    std::size_t maxUnproven = 64;
    // Connections whose requests the screen let through without trusting them (see
    // Screening). Past this many the oldest of them is closed.
    std::size_t maxUntrusted = 128;
    // Threads that run the handler.
    std::size_t workers = 32;
    // Streamed answers at once, each holding a thread of its own beside the workers; one more
    // is answered 503, so that streams can never take the threads that answer the rest.
    std::size_t maxStreams = 32;
    // How long writing an answer may make no progress before the peer is given up.
    std::chrono::milliseconds writeStall{10000};
};

// An HTTP/1.1 server on 127.0.0.1 that no slow or silent client can hold up.
//
// One thread reads every connection as bytes arrive, so a client that trickles its request
// costs a buffer, not a thread. A request's head must arrive within a deadline; then
// `screen` decides on it from the head alone, before any body is read: an answer it gives is
// sent and the connection closed, while a request it lets through proves the connection,
// whose body is read and handed, complete, to `handle` on a worker. Connections that have not
// proven themselves are capped, and so are those the screen let through without trusting
// them. The same thread writes the answers as fast as each peer takes them, a file a piece at
// a time; the workers only run the handler, and the streamed answers, which hold one each.
class HttpServer {
  public:
    // The screen's verdict on a request's head.
    struct Screening {
        // The answer that ends the connection; nothing lets the request through.
        std::optional<ServerResponse> answer;
        // Whether the request showed what opens everything rather than only what anybody who
        // may read the files has: a trusted connection is never closed to make room.
        bool trusted = false;
    };
    using Screen = std::function<Screening(const ServerRequest& head)>;
    using Handle = std::function<ServerResponse(ServerRequest& request)>;

    // `common` headers go out with every answer.
    HttpServer(Screen screen, Handle handle, HttpServerLimits limits = {},
               std::vector<HttpHeader> common = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on 127.0.0.1:`port` (0 picks a free port) and starts serving; the port.
    Result<int> start(int port);

    // Stops accepting, ends every connection (streamed answers included) and waits for the
    // threads. Called by the destructor; may be called more than once.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
