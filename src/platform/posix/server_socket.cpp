#include "platform/server_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>

namespace platform::net {

namespace {

int fd(SocketId socket) {
    return static_cast<int>(socket);
}

}  // namespace

Result<std::pair<SocketHandle, int>> listenOnLoopback(int port) {
    SocketHandle listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener) return fail(errno, "create a socket");
    // Plain address reuse only: with port sharing a second copy of the tool could bind the
    // same port and the kernel would split the page's requests between the two.
    int yes = 1;
    ::setsockopt(fd(listener.get()), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd(listener.get()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(errno, "bind");
    if (::listen(fd(listener.get()), SOMAXCONN) != 0) return fail(errno, "listen");
    socklen_t length = sizeof address;
    if (::getsockname(fd(listener.get()), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return fail(errno, "read the port");
    return std::pair(std::move(listener), static_cast<int>(ntohs(address.sin_port)));
}

Accepted acceptOne(const SocketHandle& listener, SocketHandle& into) {
    while (true) {
        const int accepted =
            ::accept4(fd(listener.get()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0) {
            int yes = 1;
            ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            into = SocketHandle(accepted);
            return Accepted::one;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE) return Accepted::outOfHandles;
        return Accepted::none;
    }
}

Transfer receiveSome(SocketId socket, char* into, std::size_t size) {
    while (true) {
        const ssize_t got = ::recv(fd(socket), into, size, 0);
        if (got > 0) return {Transfer::Status::moved, static_cast<std::size_t>(got)};
        if (got == 0) return {Transfer::Status::ended};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {Transfer::Status::wouldBlock};
        return {Transfer::Status::failed};
    }
}

Transfer sendSome(SocketId socket, std::span<const std::string_view> parts) {
    iovec pieces[8];
    std::size_t count = 0;
    for (std::string_view part : parts.first(std::min<std::size_t>(parts.size(), 8)))
        pieces[count++] = {const_cast<char*>(part.data()), part.size()};
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = count;
    while (true) {
        // No SIGPIPE from a peer that went away: that is a failed send, not the process's end.
        const ssize_t sent = ::sendmsg(fd(socket), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) return {Transfer::Status::moved, static_cast<std::size_t>(sent)};
        if (sent == 0) return {Transfer::Status::wouldBlock};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {Transfer::Status::wouldBlock};
        return {Transfer::Status::failed};
    }
}

bool waitWritable(SocketId socket, std::chrono::milliseconds limit) {
    pollfd room{fd(socket), POLLOUT, 0};
    int ready;
    while ((ready = ::poll(&room, 1, static_cast<int>(limit.count()))) < 0 && errno == EINTR) {
    }
    return ready > 0 && (room.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

void shutdownSending(SocketId socket) {
    ::shutdown(fd(socket), SHUT_WR);
}

void shutdownBoth(SocketId socket) {
    ::shutdown(fd(socket), SHUT_RDWR);
}

}  // namespace platform::net
