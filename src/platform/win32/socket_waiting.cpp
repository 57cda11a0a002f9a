#include "platform/socket_waiting.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <unordered_map>

#include "platform/win32/errors.h"
#include "platform/win32/winsock.h"

// WSAPoll rather than WSAEventSelect with WaitForMultipleObjects: the server watches well
// over 64 sockets at once (the caps allow 64 unproven and 128 untrusted connections), which
// one wait for objects cannot hold, and WSAPoll keeps epoll's level-triggered meaning, which
// the loop relies on; Wine 8 carries it out in its server for any number of sockets. Windows
// has no eventfd that WSAPoll could watch, so the wake-up is a connection to ourselves on
// loopback: a byte written to one end makes the other end readable.
namespace platform::net {

namespace {

SocketHandle newSocket() {
    return SocketHandle(static_cast<SocketId>(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
}

sockaddr_in nameOf(SOCKET socket, bool peer) {
    sockaddr_in address{};
    int length = sizeof address;
    if (peer) {
        ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length);
    } else {
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    }
    return address;
}

// Two connected sockets on loopback: {the end to read, the end to write}. Any local program
// could connect to the short-lived listener first; the end accepted is the one whose peer is
// our own writing end, or none.
Result<std::pair<SocketHandle, SocketHandle>> connectedPair() {
    SocketHandle listener = newSocket();
    if (!listener) return failSocket("create the wake-up listener");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(native(listener.get()), reinterpret_cast<sockaddr*>(&address), sizeof address) !=
            0 ||
        ::listen(native(listener.get()), 1) != 0)
        return failSocket("listen for the wake-up connection");
    address = nameOf(native(listener.get()), false);
    SocketHandle writer = newSocket();
    if (!writer ||
        ::connect(native(writer.get()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return failSocket("connect the wake-up connection");
    const sockaddr_in ours = nameOf(native(writer.get()), false);
    for (int tries = 0; tries < 8; ++tries) {
        SocketHandle reader(
            static_cast<SocketId>(::accept(native(listener.get()), nullptr, nullptr)));
        if (!reader) return failSocket("accept the wake-up connection");
        const sockaddr_in peer = nameOf(native(reader.get()), true);
        if (peer.sin_port != ours.sin_port || peer.sin_addr.s_addr != ours.sin_addr.s_addr)
            continue;
        u_long yes = 1;
        if (::ioctlsocket(native(reader.get()), FIONBIO, &yes) != 0 ||
            ::ioctlsocket(native(writer.get()), FIONBIO, &yes) != 0)
            return failSocket("make the wake-up connection wait-free");
        return std::pair(std::move(reader), std::move(writer));
    }
    return win32::failWindows(WSAECONNREFUSED, "accept the wake-up connection");
}

}  // namespace

struct SocketWaiter::Impl {
    SocketHandle wakeReader;
    SocketHandle wakeWriter;
    std::unordered_map<SocketId, Interest> watched;
    std::vector<WSAPOLLFD> polled;
};

Result<SocketWaiter> SocketWaiter::open() {
    if (!win32::startWinsock()) return win32::failWindows(WSASYSNOTREADY, "start Windows Sockets");
    Result<std::pair<SocketHandle, SocketHandle>> pair = connectedPair();
    if (!pair) return std::unexpected(pair.error());
    auto impl = std::make_unique<Impl>();
    impl->wakeReader = std::move(pair->first);
    impl->wakeWriter = std::move(pair->second);
    return SocketWaiter(std::move(impl));
}

SocketWaiter::SocketWaiter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SocketWaiter::SocketWaiter(SocketWaiter&&) noexcept = default;
SocketWaiter& SocketWaiter::operator=(SocketWaiter&&) noexcept = default;
SocketWaiter::~SocketWaiter() = default;

void SocketWaiter::watch(SocketId socket, Interest interest) {
    impl_->watched[socket] = interest;
}

void SocketWaiter::forget(SocketId socket) {
    // Unlike epoll, WSAPoll is handed the whole list each time: a closed socket left in it
    // would fail the wait, or worse watch whatever next gets its handle value.
    impl_->watched.erase(socket);
}

SocketWaiter::Ready SocketWaiter::wait(std::optional<std::chrono::milliseconds> limit) {
    std::vector<WSAPOLLFD>& polled = impl_->polled;
    polled.clear();
    polled.push_back({native(impl_->wakeReader.get()), POLLRDNORM, 0});
    for (const auto& [socket, interest] : impl_->watched)
        polled.push_back({native(socket),
                          static_cast<SHORT>(interest == Interest::read ? POLLRDNORM : POLLWRNORM),
                          0});
    const INT timeout = limit ? static_cast<INT>(std::min<long long>(limit->count(), INT_MAX)) : -1;
    Ready ready;
    if (::WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeout) <= 0) return ready;
    if (polled.front().revents != 0) {
        char drained[256];
        while (::recv(native(impl_->wakeReader.get()), drained, sizeof drained, 0) > 0) {
        }
        ready.woken = true;
    }
    for (std::size_t i = 1; i < polled.size(); ++i)
        if (polled[i].revents != 0) ready.sockets.push_back(static_cast<SocketId>(polled[i].fd));
    return ready;
}

void SocketWaiter::wake() {
    // When the connection is full, wake-ups are already waiting to be read: this one may go.
    const char one = 1;
    ::send(native(impl_->wakeWriter.get()), &one, 1, 0);
}

}  // namespace platform::net
