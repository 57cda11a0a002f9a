#include "support/test_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>

namespace test_socket {

namespace {

SOCKET native(Socket socket) {
    return static_cast<SOCKET>(socket);
}

int clamp(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

}  // namespace

Socket connectTo(int port, const char* address) {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kNone;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    ::inet_pton(AF_INET, address, &to.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::closesocket(s);
        return kNone;
    }
    DWORD limit = 10000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    return static_cast<Socket>(s);
}

bool sendAll(Socket socket, std::string_view bytes) {
    while (!bytes.empty()) {
        int n = ::send(native(socket), bytes.data(), clamp(bytes.size()), 0);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

long receive(Socket socket, char* into, std::size_t size) {
    int n = ::recv(native(socket), into, clamp(size), 0);
    if (n < 0 && ::WSAGetLastError() == WSAETIMEDOUT) return kTimedOut;
    return n < 0 ? -1 : n;
}

long receiveNow(Socket socket, char* into, std::size_t size) {
    // Winsock has no per-call "don't wait"; the socket waits again afterwards.
    u_long on = 1, off = 0;
    ::ioctlsocket(native(socket), FIONBIO, &on);
    int n = ::recv(native(socket), into, clamp(size), 0);
    ::ioctlsocket(native(socket), FIONBIO, &off);
    return n < 0 ? -1 : n;
}

bool waitReadable(Socket socket, std::chrono::milliseconds limit) {
    WSAPOLLFD p{native(socket), POLLRDNORM, 0};
    return ::WSAPoll(&p, 1, static_cast<INT>(limit.count())) > 0;
}

void setReceiveBuffer(Socket socket, int bytes) {
    ::setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                 sizeof bytes);
}

void closeSocket(Socket socket) {
    if (socket != kNone) ::closesocket(native(socket));
}

}  // namespace test_socket
