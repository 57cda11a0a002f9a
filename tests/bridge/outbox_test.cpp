#include "bridge/outbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace bridge {

TEST(OutboxTest, KeepsPostingOrder) {
    Outbox outbox;
    outbox.post("one");
    outbox.post("two");
    EXPECT_EQ(outbox.waitNext(), "one");
    outbox.post("three");
    EXPECT_EQ(outbox.takeAll(), (std::vector<std::string>{"two", "three"}));
    EXPECT_TRUE(outbox.takeAll().empty());
}

TEST(OutboxTest, ManyThreadsLoseNothingAndKeepTheirOwnOrder) {
    constexpr int kThreads = 8, kEach = 10'000;
    Outbox outbox;
    // The reader drains while the writers post, as the host loop does.
    auto reader = std::async(std::launch::async, [&] {
        std::vector<std::string> seen;
        while (seen.size() < static_cast<std::size_t>(kThreads * kEach)) {
            auto message = outbox.waitNext();
            if (!message) break;
            seen.push_back(std::move(*message));
        }
        return seen;
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&outbox, t] {
            for (int i = 0; i < kEach; ++i)
                outbox.post(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    for (auto& w : writers)
        w.join();
    if (reader.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        outbox.close();  // lets the reader end, so the failure is reported instead of hanging
        FAIL() << "the reader never received every message";
    }
    std::vector<std::string> seen = reader.get();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const std::string& message : seen) {
        std::size_t colon = message.find(':');
        int thread = std::stoi(message.substr(0, colon));
        int index = std::stoi(message.substr(colon + 1));
        ASSERT_EQ(index, next[thread]) << "thread " << thread << " out of order";
        ++next[thread];
    }
    EXPECT_TRUE(outbox.takeAll().empty());
}

TEST(OutboxTest, CloseWakesEveryWaitingReader) {
    // Readers run detached and share the outbox, so a reader that is never woken is
    // reported as a failure instead of hanging the test.
    auto outbox = std::make_shared<Outbox>();
    auto startReader = [&outbox] {
        std::promise<std::optional<std::string>> result;
        auto future = result.get_future();
        std::thread([outbox, result = std::move(result)]() mutable {
            result.set_value(outbox->waitNext());
        }).detach();
        return future;
    };
    auto first = startReader();
    auto second = startReader();
    // Give the readers time to block; the result must not depend on them having done so.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    outbox->close();
    ASSERT_EQ(first.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    ASSERT_EQ(second.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(first.get(), std::nullopt);
    EXPECT_EQ(second.get(), std::nullopt);
}

TEST(OutboxTest, AfterCloseQueuedMessagesDrainAndLatePostsAreDropped) {
    Outbox outbox;
    outbox.post("queued");
    outbox.close();
    // A worker finishing after the window has gone posts without harm.
    outbox.post("late");
    EXPECT_EQ(outbox.waitNext(), "queued");
    EXPECT_EQ(outbox.waitNext(), std::nullopt);
    EXPECT_TRUE(outbox.takeAll().empty());
}

}  // namespace bridge
