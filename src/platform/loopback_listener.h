#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/folder_access.h"
#include "platform/result.h"

namespace platform {

// One accepted connection to a LoopbackListener; closed with the object.
class LoopbackConnection {
  public:
    explicit LoopbackConnection(FileHandle socket) : socket_(std::move(socket)) {}

    // One receive of at most `maxBytes`, waiting at most `waitMs` for the first byte; empty
    // when nothing came in time or the peer closed. A browser opens spare connections that
    // never send, and one of those must not hold the listener.
    std::string receiveOnce(std::size_t maxBytes, std::uint32_t waitMs);

    // Sends every byte (a peer that went away is no signal to this process).
    bool sendAll(std::string_view bytes);

  private:
    FileHandle socket_;
};

// A TCP listener on 127.0.0.1 with a port the system picks, for the one request with which
// the browser brings the sign-in back. Closed with the object.
class LoopbackListener {
  public:
    // Creates, binds and listens (backlog 4).
    static Result<LoopbackListener> open();

    int port() const { return port_; }

    // The next connection, waiting at most `waitMs`; nothing on time-out or failure.
    std::optional<LoopbackConnection> accept(std::uint32_t waitMs);

  private:
    LoopbackListener(FileHandle socket, int port) : socket_(std::move(socket)), port_(port) {}

    FileHandle socket_;
    int port_ = 0;
};

}  // namespace platform
