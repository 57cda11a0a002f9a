#include "platform/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {
namespace {

// Waits until the descriptor can be read; false on time-out or failure.
bool readable(int fd, std::uint32_t waitMs) {
    pollfd p{fd, POLLIN, 0};
    int n;
    while ((n = ::poll(&p, 1, static_cast<int>(waitMs))) < 0 && errno == EINTR) {
    }
    return n > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

int fd(const SocketHandle& socket) {
    return static_cast<int>(socket.get());
}

}  // namespace

void SocketHandle::close() {
    if (socket_ != -1) ::close(static_cast<int>(std::exchange(socket_, -1)));
}

std::string LoopbackConnection::receiveOnce(std::size_t maxBytes, std::uint32_t waitMs) {
    if (!readable(fd(socket_), waitMs)) return {};
    std::string bytes(maxBytes, '\0');
    ssize_t n;
    while ((n = ::recv(fd(socket_), bytes.data(), maxBytes, 0)) < 0 && errno == EINTR) {
    }
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

bool LoopbackConnection::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd(socket_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

Result<LoopbackListener> LoopbackListener::open() {
    SocketHandle socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return fail(errno, "create a socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return fail(errno, "bind");
    }
    if (::listen(fd(socket), 4) != 0) return fail(errno, "listen");
    socklen_t length = sizeof address;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return fail(errno, "read the port");
    }
    return LoopbackListener(std::move(socket), ntohs(address.sin_port));
}

std::optional<LoopbackConnection> LoopbackListener::accept(std::uint32_t waitMs) {
    if (!readable(fd(socket_), waitMs)) return std::nullopt;
    int accepted;
    while ((accepted = ::accept4(fd(socket_), nullptr, nullptr, SOCK_CLOEXEC)) < 0 &&
           errno == EINTR) {
    }
    if (accepted < 0) return std::nullopt;
    return LoopbackConnection(SocketHandle(accepted));
}

}  // namespace platform
