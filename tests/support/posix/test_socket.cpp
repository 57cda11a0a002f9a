#include "support/test_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace test_socket {

namespace {

int fd(Socket socket) {
    return static_cast<int>(socket);
}

}  // namespace

Socket connectTo(int port, const char* address) {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return kNone;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address, &to.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(s);
        return kNone;
    }
    timeval limit{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return s;
}

bool sendAll(Socket socket, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

long receive(Socket socket, char* into, std::size_t size) {
    ssize_t n = ::recv(fd(socket), into, size, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kTimedOut;
    return n < 0 ? -1 : static_cast<long>(n);
}

long receiveNow(Socket socket, char* into, std::size_t size) {
    ssize_t n = ::recv(fd(socket), into, size, MSG_DONTWAIT);
    return n < 0 ? -1 : static_cast<long>(n);
}

bool waitReadable(Socket socket, std::chrono::milliseconds limit) {
    pollfd p{fd(socket), POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(limit.count())) > 0;
}

void setReceiveBuffer(Socket socket, int bytes) {
    ::setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void closeSocket(Socket socket) {
    if (socket != kNone) ::close(fd(socket));
}

}  // namespace test_socket
