#include "platform/server_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "platform/win32/errors.h"
#include "platform/win32/winsock.h"

namespace platform::net {

namespace {

bool makeNonBlocking(SOCKET socket) {
    u_long yes = 1;
    return ::ioctlsocket(socket, FIONBIO, &yes) == 0;
}

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS;
}

}  // namespace

Result<std::pair<SocketHandle, int>> listenOnLoopback(int port) {
    if (!win32::startWinsock()) return win32::failWindows(WSASYSNOTREADY, "start Windows Sockets");
    // Not inherited: a child started meanwhile (the runner, a helper) must not keep the port.
    SocketHandle listener(static_cast<SocketId>(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
    if (!listener) return failSocket("create a socket");
    // Windows' SO_REUSEADDR would let another program bind the same port and take the page's
    // requests; the exclusive use forbids exactly that.
    BOOL exclusive = TRUE;
    if (::setsockopt(native(listener.get()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0)
        return failSocket("claim the port");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(native(listener.get()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return failSocket("bind");
    if (::listen(native(listener.get()), SOMAXCONN) != 0) return failSocket("listen");
    if (!makeNonBlocking(native(listener.get()))) return failSocket("make the listener wait-free");
    int length = sizeof address;
    if (::getsockname(native(listener.get()), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return failSocket("read the port");
    return std::pair(std::move(listener), static_cast<int>(ntohs(address.sin_port)));
}

Accepted acceptOne(const SocketHandle& listener, SocketHandle& into) {
    while (true) {
        const SOCKET accepted = ::accept(native(listener.get()), nullptr, nullptr);
        if (accepted == INVALID_SOCKET) {
            const int error = ::WSAGetLastError();
            if (error == WSAECONNRESET || error == WSAEINTR) continue;
            if (error == WSAEMFILE || error == WSAENOBUFS) return Accepted::outOfHandles;
            return Accepted::none;
        }
        SocketHandle socket(static_cast<SocketId>(accepted));
        // Whether an accepted socket keeps the listener's "not inherited" is not documented;
        // a child must not hold a page's connection open.
        ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
        // Nor is it everywhere that it keeps the listener's non-blocking mode.
        if (!makeNonBlocking(accepted)) continue;
        BOOL yes = TRUE;
        ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                     sizeof yes);
        into = std::move(socket);
        return Accepted::one;
    }
}

Transfer receiveSome(SocketId socket, char* into, std::size_t size) {
    const int got =
        ::recv(native(socket), into, static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
    if (got > 0) return {Transfer::Status::moved, static_cast<std::size_t>(got)};
    if (got == 0) return {Transfer::Status::ended};
    return {wouldBlock(::WSAGetLastError()) ? Transfer::Status::wouldBlock
                                            : Transfer::Status::failed};
}

Transfer sendSome(SocketId socket, std::span<const std::string_view> parts) {
    WSABUF pieces[8];
    DWORD count = 0;
    for (std::string_view part : parts.first(std::min<std::size_t>(parts.size(), 8))) {
        pieces[count].buf = const_cast<char*>(part.data());
        pieces[count].len = static_cast<ULONG>(std::min<std::size_t>(part.size(), INT_MAX));
        ++count;
    }
    DWORD sent = 0;
    if (::WSASend(native(socket), pieces, count, &sent, 0, nullptr, nullptr) != 0) {
        return {wouldBlock(::WSAGetLastError()) ? Transfer::Status::wouldBlock
                                                : Transfer::Status::failed};
    }
    if (sent == 0) return {Transfer::Status::wouldBlock};
    return {Transfer::Status::moved, sent};
}

bool waitWritable(SocketId socket, std::chrono::milliseconds limit) {
    WSAPOLLFD room{native(socket), POLLWRNORM, 0};
    const int ready =
        ::WSAPoll(&room, 1, static_cast<INT>(std::min<long long>(limit.count(), INT_MAX)));
    return ready > 0 && (room.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

void shutdownSending(SocketId socket) {
    ::shutdown(native(socket), SD_SEND);
}

void shutdownBoth(SocketId socket) {
    ::shutdown(native(socket), SD_BOTH);
}

}  // namespace platform::net
