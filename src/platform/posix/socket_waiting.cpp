#include "platform/socket_waiting.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/file_handle.h"

namespace platform::net {

struct SocketWaiter::Impl {
    FileHandle epoll;
    FileHandle wakeUp;

    void control(int operation, SocketId socket, std::uint32_t events) const {
        epoll_event event{};
        event.events = events;
        event.data.fd = static_cast<int>(socket);
        ::epoll_ctl(epoll.get(), operation, static_cast<int>(socket), &event);
    }
};

Result<SocketWaiter> SocketWaiter::open() {
    auto impl = std::make_unique<Impl>();
    impl->epoll = FileHandle(::epoll_create1(EPOLL_CLOEXEC));
    impl->wakeUp = FileHandle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!impl->epoll || !impl->wakeUp) return fail(errno, "create the event loop");
    impl->control(EPOLL_CTL_ADD, impl->wakeUp.get(), EPOLLIN);
    return SocketWaiter(std::move(impl));
}

SocketWaiter::SocketWaiter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SocketWaiter::SocketWaiter(SocketWaiter&&) noexcept = default;
SocketWaiter& SocketWaiter::operator=(SocketWaiter&&) noexcept = default;
SocketWaiter::~SocketWaiter() = default;

void SocketWaiter::watch(SocketId socket, Interest interest) {
    const std::uint32_t events = interest == Interest::read ? EPOLLIN : EPOLLOUT;
    epoll_event event{};
    event.events = events;
    event.data.fd = static_cast<int>(socket);
    // Adding first and changing when it is already there keeps one call for both.
    if (::epoll_ctl(impl_->epoll.get(), EPOLL_CTL_ADD, static_cast<int>(socket), &event) != 0 &&
        errno == EEXIST)
        impl_->control(EPOLL_CTL_MOD, socket, events);
}

void SocketWaiter::forget(SocketId socket) {
    // A closed descriptor has left the epoll set by itself; the call then fails harmlessly.
    ::epoll_ctl(impl_->epoll.get(), EPOLL_CTL_DEL, static_cast<int>(socket), nullptr);
}

SocketWaiter::Ready SocketWaiter::wait(std::optional<std::chrono::milliseconds> limit) {
    epoll_event events[64];
    const int timeout = limit ? static_cast<int>(limit->count()) : -1;
    const int count = ::epoll_wait(impl_->epoll.get(), events, 64, timeout);
    Ready ready;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd == impl_->wakeUp.get()) {
            std::uint64_t drained;
            [[maybe_unused]] auto got = ::read(impl_->wakeUp.get(), &drained, sizeof drained);
            ready.woken = true;
        } else {
            ready.sockets.push_back(events[i].data.fd);
        }
    }
    return ready;
}

void SocketWaiter::wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(impl_->wakeUp.get(), &one, sizeof one);
}

}  // namespace platform::net
