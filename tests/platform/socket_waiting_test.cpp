#include "platform/socket_waiting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/test_socket.h"

// The waiting under the HTTP server's reading thread, on each system's own calls: what it
// reports ready, what it must not, and that another thread can always end a wait.
namespace {

using namespace std::chrono_literals;
using platform::net::SocketId;
using platform::net::SocketWaiter;
using Clock = std::chrono::steady_clock;

// A listener and one connection to it: the test's end and the server's accepted end.
struct Connected {
    platform::SocketHandle listener;
    platform::SocketHandle accepted;
    test_socket::Socket client = test_socket::kNone;

    Connected() {
        auto listening = platform::net::listenOnLoopback(0);
        if (!listening) return;
        listener = std::move(listening->first);
        client = test_socket::connectTo(listening->second);
        for (auto until = Clock::now() + 2s; !accepted && Clock::now() < until;) {
            if (platform::net::acceptOne(listener, accepted) != platform::net::Accepted::one)
                std::this_thread::sleep_for(5ms);
        }
    }
    ~Connected() { test_socket::closeSocket(client); }
};

bool contains(const SocketWaiter::Ready& ready, SocketId socket) {
    return std::ranges::find(ready.sockets, socket) != ready.sockets.end();
}

TEST(SocketWaiting, ReportsWhatIsReadyForTheInterestAsked) {
    struct Case {
        const char* name;
        SocketWaiter::Interest interest;
        bool clientSends;
        bool forget;
        bool ready;
    } const cases[] = {
        {"nothing to read", SocketWaiter::Interest::read, false, false, false},
        {"bytes to read", SocketWaiter::Interest::read, true, false, true},
        {"room to write", SocketWaiter::Interest::write, false, false, true},
        {"forgotten", SocketWaiter::Interest::read, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connected connected;
        ASSERT_TRUE(connected.accepted);
        auto waiter = SocketWaiter::open();
        ASSERT_TRUE(waiter);
        const SocketId socket = connected.accepted.get();
        waiter->watch(socket, c.interest);
        if (c.clientSends) {
            ASSERT_TRUE(test_socket::sendAll(connected.client, "x"));
        }
        if (c.forget) waiter->forget(socket);
        const auto ready = waiter->wait(300ms);
        EXPECT_EQ(contains(ready, socket), c.ready);
        EXPECT_FALSE(ready.woken);
    }
}

TEST(SocketWaiting, ChangingTheInterestReplacesIt) {
    Connected connected;
    ASSERT_TRUE(connected.accepted);
    auto waiter = SocketWaiter::open();
    ASSERT_TRUE(waiter);
    const SocketId socket = connected.accepted.get();
    waiter->watch(socket, SocketWaiter::Interest::write);
    waiter->watch(socket, SocketWaiter::Interest::read);
    EXPECT_FALSE(contains(waiter->wait(200ms), socket)) << "still watched for writing";
    ASSERT_TRUE(test_socket::sendAll(connected.client, "x"));
    EXPECT_TRUE(contains(waiter->wait(2s), socket));
}

TEST(SocketWaiting, AnotherThreadEndsAWaitWithoutLimitAndTheWakeIsUsedUp) {
    auto waiter = SocketWaiter::open();
    ASSERT_TRUE(waiter);
    const auto start = Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(100ms);
        waiter->wake();
    });
    const auto ready = waiter->wait(std::nullopt);
    waker.join();
    EXPECT_TRUE(ready.woken);
    EXPECT_GE(Clock::now() - start, 90ms);
    // Many wakes before a wait end one wait only; the next waits out its limit.
    for (int i = 0; i < 1000; ++i)
        waiter->wake();
    EXPECT_TRUE(waiter->wait(1s).woken);
    const auto again = Clock::now();
    EXPECT_FALSE(waiter->wait(150ms).woken);
    EXPECT_GE(Clock::now() - again, 140ms);
}

TEST(SocketWaiting, APeerThatClosesIsReported) {
    Connected connected;
    ASSERT_TRUE(connected.accepted);
    auto waiter = SocketWaiter::open();
    ASSERT_TRUE(waiter);
    waiter->watch(connected.accepted.get(), SocketWaiter::Interest::read);
    test_socket::closeSocket(connected.client);
    connected.client = test_socket::kNone;
    EXPECT_TRUE(contains(waiter->wait(2s), connected.accepted.get()));
    char byte;
    EXPECT_EQ(platform::net::receiveSome(connected.accepted.get(), &byte, 1).status,
              platform::net::Transfer::Status::ended);
}

}  // namespace
