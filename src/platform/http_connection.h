#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_access.h"
#include "platform/http_message.h"
#include "platform/loopback_listener.h"
#include "platform/server_socket.h"

namespace platform::http_detail {

using Clock = std::chrono::steady_clock;

// An answer that the reading thread writes as fast as the peer takes it, so that a slow
// reader costs a piece of memory rather than a thread: the head, then the body from memory or
// from a file, a piece at a time.
class Outgoing {
  public:
    enum class Progress { done, waiting, failed };

    Outgoing() = default;
    // The answer to `request`; without its body for HEAD.
    Outgoing(const ServerRequest& request, ServerResponse& response,
             const std::vector<HttpHeader>& common, bool closeAfter);

    // Sends what the socket takes now. `moved` tells whether any byte left.
    Progress sendSome(net::SocketId socket, bool& moved);
    bool closeAfter() const { return closeAfter_; }

  private:
    // The next piece of the file into `piece_`; false when the file ends before its length.
    bool readPiece();

    // Offsets rather than views into the strings: the answer moves to its connection after
    // it is made, and a short string's bytes move with it.
    std::string head_;
    std::string body_;
    // The body when it lives as long as the program.
    std::string_view lasting_;
    std::size_t headSent_ = 0;
    std::size_t bodySent_ = 0;
    FileHandle file_;
    std::uint64_t fileLeft_ = 0;
    std::string piece_;
    std::size_t pieceSent_ = 0;
    bool closeAfter_ = false;
};

// One client connection. The reading thread owns it while it waits for or reads a request;
// a worker owns it while the handler runs and the answer is written.
struct Connection {
    enum class Phase {
        // Between requests: nothing of the next one has come yet.
        waiting,
        // Reading the head into `pending`.
        head,
        // Reading the body straight into `request.body`.
        body,
        // The reading thread writes the answer in `outgoing`.
        sending,
        // An answer was sent and the connection is to end: what the client still sends is
        // read and dropped until it closes, so that closing cannot reset the connection
        // before the client has read the answer.
        closing,
    };

    SocketHandle socket;
    // Received bytes that belong to no request read so far (the head, and what a client sends
    // after it before it waits for the answer).
    std::string pending;
    Phase phase = Phase::waiting;
    Clock::time_point deadline;
    // Set once the screen let one of its requests through.
    bool proven = false;
    // Set once one of its requests showed what opens everything, not only the files.
    bool trusted = false;
    // Order of acceptance, to find the oldest connection that has not proven itself.
    std::uint64_t serial = 0;
    ServerRequest request;
    // The body grows as its bytes arrive, never ahead of them: a client that announces a large
    // body and sends nothing holds a buffer, not the memory it announced.
    std::size_t bodyExpected = 0;
    std::size_t bodyReceived = 0;
    Outgoing outgoing;
};

// Sends every byte of `parts` in order on a non-blocking socket, waiting for room at most
// `stall` at a time; false when the peer went away or took nothing for that long.
bool sendAll(net::SocketId socket, std::vector<std::string_view> parts,
             std::chrono::milliseconds stall);

// What can be sent now without waiting; for the small answers given before a request was
// let through, to a client that may never read.
void sendWithoutWaiting(net::SocketId socket, std::string_view bytes);

// Writes a streamed answer to the request's connection: the head, then (not for HEAD) the
// pieces as chunks until the stream ends or the peer goes; streamEnded is called in either
// case. The connection ends after it.
void writeStream(net::SocketId socket, const ServerRequest& request, ServerResponse& response,
                 const std::vector<HttpHeader>& common, std::chrono::milliseconds stall);

}  // namespace platform::http_detail
