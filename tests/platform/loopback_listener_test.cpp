#include "platform/loopback_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(LoopbackListener, EachGetsAPortOfItsOwn) {
    auto first = platform::LoopbackListener::open();
    auto second = platform::LoopbackListener::open();
    ASSERT_TRUE(first) << first.error().what;
    ASSERT_TRUE(second) << second.error().what;
    EXPECT_GT(first->port(), 0);
    EXPECT_GT(second->port(), 0);
    EXPECT_NE(first->port(), second->port());
}

// The sign-in worker checks its deadline between waits, so no wait may run long.
TEST(LoopbackListener, AcceptWaitsNoLongerThanAsked) {
    auto listener = platform::LoopbackListener::open();
    ASSERT_TRUE(listener);
    const auto start = Clock::now();
    EXPECT_FALSE(listener->accept(200));
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(took, 0.15);
    EXPECT_LT(took, 2.0);
}

// A peer that sends `pieces` with a pause before each but the first, then either closes or
// stays until told to go.
struct Sending {
    std::vector<std::string> pieces;
    int pauseMs = 0;
    bool close = false;
};

// The sign-in's listener reads its one request's head as the browser host reads heads: to the
// blank line however the peer splits it, never past the cap, and for no longer than asked.
TEST(LoopbackListener, AHeadIsReadToItsBlankLineWithinTheCapAndTheTime) {
    const std::string head = "GET /callback?token=t&state=s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const std::string line = "GET /callback?token=t&state=s HTTP/1.1\r\n";
    const std::string cookie = "Cookie: " + std::string(200, 'c');
    struct Case {
        std::string name;
        Sending peer;
        std::size_t maxBytes;
        std::uint32_t waitMs;
        std::string expected;
        double atLeastSeconds;  // how long the read must have waited
    } cases[] = {
        {"in one piece", {{head}}, 8191, 5000, head, 0},
        {"split inside the query and the blank line",
         {{"GET /callback?tok", "en=t&state=s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r", "\n"}, 100},
         8191,
         5000,
         head,
         0.15},
        {"the peer closes before the blank line", {{line}, 0, true}, 8191, 5000, line, 0},
        {"the blank line never comes", {{line}}, 8191, 300, line, 0.25},
        {"longer than the cap",
         {{line, cookie}, 50},
         60,
         5000,
         (line + cookie).substr(0, 60),
         0.04},
        {"nothing, then the peer closes", {{}, 0, true}, 8191, 5000, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto listener = platform::LoopbackListener::open();
        ASSERT_TRUE(listener);
        std::promise<void> readDone;
        std::thread peer([&c, port = listener->port(), done = readDone.get_future()] {
            test_socket::Socket socket = test_socket::connectTo(port);
            for (std::size_t i = 0; i < c.peer.pieces.size(); ++i) {
                if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(c.peer.pauseMs));
                test_socket::sendAll(socket, c.peer.pieces[i]);
            }
            if (!c.peer.close) done.wait();
            test_socket::closeSocket(socket);
        });
        std::optional<platform::LoopbackConnection> connection = listener->accept(5000);
        std::string got;
        double took = 0;
        if (connection) {
            const auto start = Clock::now();
            got = connection->receiveHead(c.maxBytes, c.waitMs);
            took = std::chrono::duration<double>(Clock::now() - start).count();
        }
        readDone.set_value();
        peer.join();
        ASSERT_TRUE(connection);
        EXPECT_EQ(got, c.expected);
        EXPECT_GE(took, c.atLeastSeconds);
        EXPECT_LT(took, c.atLeastSeconds + 2.0);
    }
}

}  // namespace
