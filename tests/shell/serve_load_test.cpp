// The browser host under load: sockets that send their request a byte a second must neither
// keep the page from working nor stay open for long, and a thousand large state messages
// must leave the tool's memory where it was.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "shell/busy_server_tool.h"
#include "shell/serve_client.h"

namespace {

using namespace std::chrono_literals;
using namespace serve_test;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitized = true;
#else
constexpr bool kAddressSanitized = false;
#endif
// A sanitized tool makes and sends each 3 MB message several times slower.
constexpr int kSlow = kSanitized ? 4 : 1;

constexpr std::size_t kStateBytes = 3u << 20;

class ServeLoad : public BusyServerTool {
  protected:
    // A page that clicks faster than the messages come: posts refresh `count` times, then
    // reads each state message off `stream`.
    void deliver(EventReader& stream, int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(refresh(), 204);
        for (int i = 0; i < count; ++i) {
            auto event = stream.next();
            ASSERT_TRUE(event);
            ASSERT_GT(event->data.size(), kStateBytes);
        }
    }
};

// What one thread sees of 100 sockets that never show a token: each sends one byte of a
// request a second. A socket the host closes is opened afresh while the attack lasts, so the
// page meets 100 of them all along.
struct Trickle {
    static constexpr std::size_t kSockets = 100;
    // Long enough that no trickler finishes its request in the time it is given.
    std::string request;
    Clock::duration longestLife{};  // of the tricklers the host let go
    int opened = 0;
    int keptTooLong = 0;  // still open kLetGoWithin after they connected

    void run(int port, Clock::duration attackFor, Clock::duration letGoWithin) {
        struct Socket {
            int fd = -1;
            Clock::time_point opened;
            std::size_t sent = 0;
        };
        std::vector<Socket> sockets(kSockets);
        auto hungUp = [&](Socket& s, bool byHost) {
            if (byHost) longestLife = std::max(longestLife, Clock::now() - s.opened);
            ::close(s.fd);
            s.fd = -1;
        };
        const auto start = Clock::now();
        auto tick = start;
        while (true) {
            const auto now = Clock::now();
            const bool attacking = now - start < attackFor;
            if (now >= tick) {
                for (Socket& s : sockets) {
                    if (s.fd < 0 && attacking) {
                        // Non-blocking, so a host that stops accepting cannot stall the thread.
                        s = {::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0), now,
                             0};
                        sockaddr_in to{};
                        to.sin_family = AF_INET;
                        to.sin_port = htons(static_cast<uint16_t>(port));
                        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                        ::connect(s.fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
                        ++opened;
                    }
                    if (s.fd < 0 || s.sent >= request.size()) continue;
                    // EAGAIN: still connecting; anything else: the host has let it go.
                    if (::send(s.fd, &request[s.sent], 1, MSG_NOSIGNAL) == 1) {
                        ++s.sent;
                    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                        hungUp(s, true);
                    }
                }
                tick += 1s;
            }
            std::vector<pollfd> waiting;
            for (Socket& s : sockets) {
                if (s.fd >= 0 && now - s.opened > letGoWithin) {
                    ++keptTooLong;
                    hungUp(s, false);
                }
                if (s.fd >= 0) waiting.push_back({s.fd, POLLIN, 0});
            }
            if (!attacking && waiting.empty()) return;
            ::poll(waiting.data(), waiting.size(), 100);
            for (const pollfd& p : waiting) {
                if (!p.revents) continue;
                auto s = std::ranges::find(sockets, p.fd, &Socket::fd);
                char buffer[4096];
                // Whatever the host answers first (a timeout, say), it must then hang up.
                ssize_t n = ::recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) hungUp(*s, true);
            }
        }
    }
};

TEST_F(ServeLoad, TricklingSocketsNeitherBlockThePageNorStayOpen) {
    // The host gives a request's headers a few seconds and caps the connections that have
    // not yet shown a token, so none of these should live near 10 s.
    constexpr auto kAttackFor = 9s;
    constexpr auto kLetGoWithin = 10s;
    Trickle trickle;
    trickle.request =
        "GET /index.html HTTP/1.1\r\n" + host +
        "\r\nAccept: text/html\r\nUser-Agent: trickle\r\nConnection: keep-alive\r\n\r\n";
    const auto start = Clock::now();
    std::thread attacker([&] { trickle.run(port, kAttackFor, kLetGoWithin); });
    auto ms = [](Clock::duration d) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };

    // The page in rounds all through the attack: the page itself, a new event stream, a
    // command and the state message it makes, each in a time a person would still wait.
    const long limit = ms(kSlow * 2s);
    long slowest = 0;
    int rounds = 0;
    for (; rounds < 4; ++rounds) {
        std::this_thread::sleep_until(start + 1s + rounds * 2s);
        auto began = Clock::now();
        auto took = [&] {
            auto now = Clock::now();
            long step = ms(now - std::exchange(began, now));
            slowest = std::max(slowest, step);
            return step;
        };
        Reply index = roundTrip(port, requestText("GET", "/index.html", page));
        EXPECT_EQ(index.status, 200) << "round " << rounds;
        EXPECT_LE(took(), limit) << "the page, round " << rounds;
        EventReader stream(port, page);
        EXPECT_TRUE(stream.connected()) << "round " << rounds;
        EXPECT_LE(took(), limit) << "the event stream, round " << rounds;
        EXPECT_EQ(refresh(), 204) << "round " << rounds;
        EXPECT_LE(took(), limit) << "the command, round " << rounds;
        auto event = stream.next(kSlow * 5s);
        EXPECT_TRUE(event && event->data.size() > kStateBytes) << "round " << rounds;
        EXPECT_LE(took(), ms(kSlow * 5s)) << "the state message, round " << rounds;
        if (HasFailure()) break;  // one round shows it; the attack ends on its own
    }
    attacker.join();
    RecordProperty("page_rounds_passed", rounds);
    RecordProperty("slowest_step_ms", slowest);
    RecordProperty("tricklers_opened", trickle.opened);
    RecordProperty("longest_trickler_ms", ms(trickle.longestLife));
    std::cout << "page rounds passed " << rounds << ", slowest step " << slowest
              << " ms; tricklers opened " << trickle.opened << ", longest let go after "
              << ms(trickle.longestLife) << " ms, kept over 10 s " << trickle.keptTooLong << "\n";
    EXPECT_EQ(trickle.keptTooLong, 0) << "tricklers the host kept for more than 10 s";
}

TEST_F(ServeLoad, AThousandLargeStateMessagesLeaveMemoryFlat) {
    // Sanitized builds make each message several times slower; fewer still show a leak.
    constexpr int kMessages = kSanitized ? 200 : 1000;
    // Ten at a time keeps some 30 MB on the way to the page, well inside what it may lag.
    constexpr int kBurst = 10;
    constexpr int kWarmUp = 2 * kBurst;
    EventReader stream(port, page);
    ASSERT_TRUE(stream.connected());
    for (int done = 0; done < kWarmUp; done += kBurst)
        ASSERT_NO_FATAL_FAILURE(deliver(stream, kBurst));
    // Both figures are taken with the tool idle, so neither holds a message in flight.
    waitUntilIdle();
    const long start = residentKiB();
    long peak = start;
    for (int done = kWarmUp; done < kMessages; done += kBurst) {
        ASSERT_NO_FATAL_FAILURE(deliver(stream, kBurst));
        peak = std::max(peak, residentKiB());
    }
    waitUntilIdle();
    const long end = residentKiB();
    RecordProperty("rss_start_kib", start);
    RecordProperty("rss_peak_kib", peak);
    RecordProperty("rss_end_kib", end);
    std::cout << "tool resident after " << kWarmUp << " messages " << start / 1024 << " MiB, peak "
              << peak / 1024 << " MiB, after " << kMessages << " " << end / 1024 << " MiB\n";
    // 64 MiB is some twenty of these messages: room for buffers kept for reuse, far less than
    // keeping one copy of every message (3 GB), or a few megabytes per connection or thread
    // that served them. AddressSanitizer holds back up to 256 MiB of freed memory besides.
    const long margin = (64 + (kAddressSanitized ? 256 : 0)) * 1024;
    ASSERT_GT(start, 0);
    EXPECT_LE(end, start + margin);
}

}  // namespace
