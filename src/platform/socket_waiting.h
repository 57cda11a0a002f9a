#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/result.h"
#include "platform/server_socket.h"

namespace platform::net {

// Waits for many sockets at once on one thread, and can be woken from any other: the heart of
// the HTTP server's reading thread. Linux uses epoll with an eventfd (posix/socket_waiting.cpp),
// Windows WSAPoll with a wake-up connection on loopback (win32/socket_waiting.cpp).
class SocketWaiter {
  public:
    enum class Interest { read, write };

    // What a wait found.
    struct Ready {
        // The sockets that can go on: readable or writable as asked, or failed, or closed by
        // the peer (their next receive or send tells which).
        std::vector<SocketId> sockets;
        // wake() was called since the last wait.
        bool woken = false;
    };

    static Result<SocketWaiter> open();
    SocketWaiter(SocketWaiter&&) noexcept;
    SocketWaiter& operator=(SocketWaiter&&) noexcept;
    ~SocketWaiter();

    // Watches `socket` for `interest`, or changes the interest of a socket already watched.
    // Only the waiting thread calls watch, forget and wait.
    void watch(SocketId socket, Interest interest);
    // Stops watching; before or right after the socket is closed, and for a socket not
    // watched it does nothing.
    void forget(SocketId socket);
    // Waits until a watched socket is ready, wake() is called or `limit` passes (no limit:
    // until one of the first two).
    Ready wait(std::optional<std::chrono::milliseconds> limit);
    // Ends the current or the next wait; callable from any thread.
    void wake();

    struct Impl;

  private:
    explicit SocketWaiter(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::net
