#pragma once
// A test's end of a loopback TCP connection, in each system's own socket calls
// (posix/test_socket.cpp, win32/test_socket.cpp): the HTTP server's and the browser host's
// tests send exact bytes and read exactly what comes back.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace test_socket {

// A descriptor on Linux, a SOCKET on Windows; -1 is none.
using Socket = std::intptr_t;
constexpr Socket kNone = -1;
// What receive() gives when nothing came within the socket's time-out.
constexpr long kTimedOut = -2;

// A connected socket to `address`:`port` whose receives give up after 10 s, or kNone.
Socket connectTo(int port, const char* address = "127.0.0.1");

// Sends every byte; false when the peer went away.
bool sendAll(Socket socket, std::string_view bytes);

// One receive: the bytes got, 0 when the peer closed, -1 on failure or kTimedOut.
long receive(Socket socket, char* into, std::size_t size);

// One receive that does not wait; as receive(), with -1 also when nothing is there.
long receiveNow(Socket socket, char* into, std::size_t size);

// Waits until something can be read or the peer closed; false when `limit` passed first.
bool waitReadable(Socket socket, std::chrono::milliseconds limit);

// Shrinks the receive buffer, so that a peer's answer waits on its side.
void setReceiveBuffer(Socket socket, int bytes);

void closeSocket(Socket socket);

}  // namespace test_socket
