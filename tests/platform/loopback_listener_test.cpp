#include "platform/loopback_listener.h"

#include <gtest/gtest.h>

#include <chrono>

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

}  // namespace
