#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/result.h"

namespace platform {

// A socket that closes itself. The system's value is kept as a number wide enough for a
// POSIX descriptor and for a Windows SOCKET alike (neither fits the other's type); -1 is none,
// which is INVALID_SOCKET on Windows too.
class SocketHandle {
  public:
    SocketHandle() = default;
    explicit SocketHandle(std::intptr_t socket) : socket_(socket) {}
    SocketHandle(SocketHandle&& other) noexcept : socket_(std::exchange(other.socket_, -1)) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept {
        if (this != &other) {
            close();
            socket_ = std::exchange(other.socket_, -1);
        }
        return *this;
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    ~SocketHandle() { close(); }

    std::intptr_t get() const { return socket_; }
    explicit operator bool() const { return socket_ != -1; }

  private:
    // With the system's own call, in the system's file.
    void close();

    std::intptr_t socket_ = -1;
};

// One accepted connection to a LoopbackListener; closed with the object.
class LoopbackConnection {
  public:
    explicit LoopbackConnection(SocketHandle socket) : socket_(std::move(socket)) {}

    // One receive of at most `maxBytes`, waiting at most `waitMs` for the first byte; empty
    // when nothing came in time or the peer closed. A browser opens spare connections that
    // never send, and one of those must not hold the listener.
    std::string receiveOnce(std::size_t maxBytes, std::uint32_t waitMs);

    // The head of the request the peer sends, read as the browser host reads every request's
    // head: the bytes as they come until its blank line, at most `maxBytes` of them, for at
    // most `waitMs` in all. What came by then: the whole head (with whatever the same receive
    // brought behind it), or the first bytes of a head that did not end in time or within the
    // cap; empty when the peer sent nothing or closed at once.
    std::string receiveHead(std::size_t maxBytes, std::uint32_t waitMs);

    // Sends every byte (a peer that went away is no signal to this process).
    bool sendAll(std::string_view bytes);

  private:
    SocketHandle socket_;
};

// A TCP listener on 127.0.0.1 with a port the system picks, for the one request with which
// the browser brings the sign-in back. No other program may take the port over while it is
// open, and no child process inherits it. Closed with the object.
class LoopbackListener {
  public:
    // Creates, binds and listens (backlog 4).
    static Result<LoopbackListener> open();

    int port() const { return port_; }

    // The next connection, waiting at most `waitMs`; nothing on time-out or failure.
    std::optional<LoopbackConnection> accept(std::uint32_t waitMs);

  private:
    LoopbackListener(SocketHandle socket, int port) : socket_(std::move(socket)), port_(port) {}

    SocketHandle socket_;
    int port_ = 0;
};

}  // namespace platform
