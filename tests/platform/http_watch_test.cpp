#include "platform/http_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>

namespace {

using std::chrono::milliseconds;
using Step = platform::HttpWatch::Step;

constexpr std::uint64_t MiB = 1 << 20;

TEST(HttpOverallLimit, GrowsWithEveryMebibyteBegunOfSendAndCap) {
    struct Case {
        std::uint32_t overallMs, msPerMiB;
        std::uint64_t sendBytes, downloadCap;
        std::optional<milliseconds> limit;
    };
    const Case cases[] = {
        {1000, 10, 0, 0, milliseconds(1000)},
        {1000, 10, 1, 0, milliseconds(1010)},
        {1000, 10, MiB, 0, milliseconds(1010)},
        {1000, 10, MiB + 1, 0, milliseconds(1020)},
        // Together: half a MiB each is one MiB begun, not two.
        {1000, 10, MiB / 2, MiB / 2, milliseconds(1010)},
        {1000, 10, 3 * MiB, 2 * MiB + 1, milliseconds(1060)},
        {1000, 0, 50 * MiB, 0, milliseconds(1000)},
        {0, 10, MiB, MiB, std::nullopt},
    };
    for (const Case& c : cases) {
        platform::HttpTimeouts t{.overallMs = c.overallMs, .msPerMiB = c.msPerMiB};
        EXPECT_EQ(platform::httpOverallLimit(t, c.sendBytes, c.downloadCap), c.limit)
            << c.sendBytes << " + " << c.downloadCap;
    }
}

TEST(HttpOverallLimit, AHugeCapGivesAHugeLimitNotAWrappedOne) {
    platform::HttpTimeouts t{.overallMs = 1000, .msPerMiB = 4000};
    for (std::uint64_t cap : {UINT64_MAX, UINT64_MAX - MiB + 2, UINT64_MAX / 4000}) {
        std::optional<milliseconds> limit = platform::httpOverallLimit(t, UINT64_MAX, cap);
        ASSERT_TRUE(limit);
        EXPECT_GT(*limit, std::chrono::hours(24 * 365)) << cap;
    }
}

TEST(HttpWatch, EachStepHasItsOwnLimitAndNoneGoesPastTheOverallOne) {
    const platform::HttpTimeouts t{.resolveMs = 100,
                                   .connectMs = 200,
                                   .sendMs = 50,
                                   .receiveMs = 70,
                                   .overallMs = 1000,
                                   .msPerMiB = 0};
    const auto start = platform::HttpWatch::Clock::now();
    platform::HttpWatch watch(t, 0, 0, start);
    EXPECT_EQ(watch.left(Step::reaching, start + milliseconds(10)), milliseconds(290));
    EXPECT_EQ(watch.left(Step::sending, start + milliseconds(10)), milliseconds(40));
    EXPECT_EQ(watch.left(Step::receiving, start + milliseconds(10)), milliseconds(60));
    // A move restarts the sending and receiving limits, not the one for reaching the host.
    watch.moved(start + milliseconds(500));
    EXPECT_EQ(watch.left(Step::reaching, start + milliseconds(500)), milliseconds(-200));
    EXPECT_EQ(watch.left(Step::sending, start + milliseconds(520)), milliseconds(30));
    EXPECT_EQ(watch.left(Step::receiving, start + milliseconds(520)), milliseconds(50));
    EXPECT_FALSE(watch.pastDeadline(start + milliseconds(999)));
    // Close to the end the overall limit is the nearer one.
    watch.moved(start + milliseconds(980));
    EXPECT_EQ(watch.left(Step::receiving, start + milliseconds(980)), milliseconds(20));
    EXPECT_TRUE(watch.pastDeadline(start + milliseconds(1000)));
}

TEST(HttpWatch, WithoutAnOverallLimitOnlyTheStepsCount) {
    const platform::HttpTimeouts t{.sendMs = 50, .receiveMs = 70, .overallMs = 0};
    const auto start = platform::HttpWatch::Clock::now();
    platform::HttpWatch watch(t, 0, 0, start);
    watch.moved(start + std::chrono::hours(1000));
    EXPECT_EQ(watch.left(Step::receiving, start + std::chrono::hours(1000)), milliseconds(70));
    EXPECT_FALSE(watch.pastDeadline(start + std::chrono::hours(100000)));
}

}  // namespace
