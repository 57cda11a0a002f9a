#include "platform/loopback_listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/win32/errors.h"
#include "platform/win32/winsock.h"

namespace platform {
namespace {

SOCKET socketOf(const SocketHandle& handle) {
    return static_cast<SOCKET>(handle.get());
}

// Waits until the socket can be read (or accepted from); false on time-out or failure.
bool readable(SOCKET socket, std::uint32_t waitMs) {
    WSAPOLLFD p{socket, POLLRDNORM, 0};
    const int n = ::WSAPoll(&p, 1, static_cast<INT>(std::min<std::uint32_t>(waitMs, INT_MAX)));
    return n > 0 && (p.revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
}

std::unexpected<Failure> failSocket(std::string what) {
    return win32::failWindows(static_cast<unsigned long>(::WSAGetLastError()), std::move(what));
}

}  // namespace

void SocketHandle::close() {
    if (socket_ != -1) ::closesocket(static_cast<SOCKET>(std::exchange(socket_, -1)));
}

std::string LoopbackConnection::receiveOnce(std::size_t maxBytes, std::uint32_t waitMs) {
    if (!readable(socketOf(socket_), waitMs)) return {};
    std::string bytes(std::min<std::size_t>(maxBytes, INT_MAX), '\0');
    const int n = ::recv(socketOf(socket_), bytes.data(), static_cast<int>(bytes.size()), 0);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

bool LoopbackConnection::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const int n = ::send(socketOf(socket_), bytes.data(),
                             static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX)), 0);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

Result<LoopbackListener> LoopbackListener::open() {
    if (!win32::startWinsock()) return win32::failWindows(WSASYSNOTREADY, "start Windows Sockets");
    // Not inherited: a child started meanwhile must not keep the port open after we close it.
    SocketHandle socket(static_cast<std::intptr_t>(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
    if (!socket) return failSocket("create a socket");
    // Without this another program could bind the same port with SO_REUSEADDR and take the
    // sign-in, token and all.
    BOOL exclusive = TRUE;
    if (::setsockopt(socketOf(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0) {
        return failSocket("claim the port");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(socketOf(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return failSocket("bind");
    }
    if (::listen(socketOf(socket), 4) != 0) return failSocket("listen");
    int length = sizeof address;
    if (::getsockname(socketOf(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return failSocket("read the port");
    }
    return LoopbackListener(std::move(socket), ntohs(address.sin_port));
}

std::optional<LoopbackConnection> LoopbackListener::accept(std::uint32_t waitMs) {
    if (!readable(socketOf(socket_), waitMs)) return std::nullopt;
    const SOCKET accepted = ::accept(socketOf(socket_), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) return std::nullopt;
    // Whether an accepted socket keeps the listener's "not inherited" is not documented;
    // a child must not hold the connection open, so it is made sure of here.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    return LoopbackConnection(SocketHandle(static_cast<std::intptr_t>(accepted)));
}

}  // namespace platform
