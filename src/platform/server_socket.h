#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "platform/loopback_listener.h"
#include "platform/result.h"

// The socket calls of the browser host's HTTP server, every one of them non-blocking. Each
// system has its own form (posix/server_socket.cpp, win32/server_socket.cpp); the server's
// loop, deadlines and caps above them are one code for both.
namespace platform::net {

// A socket as the system numbers it: a descriptor on Linux, a SOCKET on Windows.
using SocketId = std::intptr_t;

// A listener on 127.0.0.1:`port` (0 picks a free port) and the port it got. No other program
// can bind the same port while it is open, and no child process inherits it.
Result<std::pair<SocketHandle, int>> listenOnLoopback(int port);

enum class Accepted {
    // `into` holds the connection: non-blocking, not inherited, without Nagle's delay.
    one,
    // Nobody is waiting.
    none,
    // The process has no handle left for it.
    outOfHandles,
};
Accepted acceptOne(const SocketHandle& listener, SocketHandle& into);

// What one non-blocking receive or send did.
struct Transfer {
    enum class Status {
        // `bytes` went (at least one).
        moved,
        // Nothing can go now; wait for the socket.
        wouldBlock,
        // The peer closed its side (receiving only).
        ended,
        failed,
    };
    Status status = Status::failed;
    std::size_t bytes = 0;
};

Transfer receiveSome(SocketId socket, char* into, std::size_t size);

// Sends what the socket takes now of `parts`, in their order, in one call: a head and its
// body, or a chunk's frame and its text, leave together without being copied together first.
// At most 8 parts.
Transfer sendSome(SocketId socket, std::span<const std::string_view> parts);

// Waits until the socket takes more bytes; false on time-out or when the peer went away.
bool waitWritable(SocketId socket, std::chrono::milliseconds limit);

// Ends the sending side: the peer reads the end of the answer, and still may send.
void shutdownSending(SocketId socket);

// Ends both sides, from any thread, so that a thread writing to the socket stops at once.
void shutdownBoth(SocketId socket);

}  // namespace platform::net
