#include "shell/page_channel.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

// Everything the stream has to write now, its reconnect hint left out.
std::string drain(PageChannel& channel, const PageChannel::StreamPtr& stream) {
    std::string all;
    while (auto text = channel.next(stream, 0ms)) {
        if (text->empty()) break;
        all += *text;
    }
    std::string hint = "retry: 1000\n\n";
    if (all.rfind(hint, 0) == 0) all.erase(0, hint.size());
    return all;
}

}  // namespace

TEST(PageChannel, MessagesBecomeOneLineDataEvents) {
    EXPECT_EQ(PageChannel::messageEvent("{\"type\":\"x\"}"), "data: {\"type\":\"x\"}\n\n");
    EXPECT_EQ(PageChannel::messageEvent("{\"a\":\r\n1}"), "data: {\"a\":  1}\n\n");
    EXPECT_EQ(PageChannel::messageEvent("\n\n"), "data:   \n\n");
}

TEST(PageChannel, StreamsStartWithAReconnectHint) {
    PageChannel channel;
    auto stream = channel.connect();
    EXPECT_EQ(channel.next(stream, 0ms), "retry: 1000\n\n");
    EXPECT_EQ(channel.next(stream, 0ms), "");
}

TEST(PageChannel, MessagesArriveInPublishingOrder) {
    PageChannel channel;
    auto stream = channel.connect();
    channel.publish("1");
    channel.publishReload();
    channel.publish("2");
    EXPECT_EQ(drain(channel, stream),
              "id: 1\ndata: 1\n\nevent: reload\ndata: {}\n\nid: 2\ndata: 2\n\n");
}

TEST(PageChannel, ADisconnectedPageGetsNothingMore) {
    PageChannel channel;
    auto stream = channel.connect();
    channel.publish("1");
    channel.disconnect(stream);
    channel.publish("2");
    EXPECT_EQ(channel.next(stream, 0ms), std::nullopt);
    EXPECT_EQ(channel.connectedCount(), 0u);
}

TEST(PageChannel, ClosingLetsStreamsWriteWhatTheyHoldThenEnds) {
    PageChannel channel;
    auto stream = channel.connect();
    channel.publish("last");
    channel.close();
    channel.publish("after");
    EXPECT_EQ(channel.next(stream, 0ms), "retry: 1000\n\nid: 1\ndata: last\n\n");
    EXPECT_EQ(channel.next(stream, 0ms), std::nullopt);
    // The end of the stream is still to be written: the host must not stop before it is.
    EXPECT_FALSE(channel.waitAllEnded(0ms));
    channel.disconnect(stream);
    EXPECT_TRUE(channel.waitAllEnded(0ms));
    // A page that comes after the end gets an ended stream.
    EXPECT_EQ(channel.next(channel.connect(), 0ms), std::nullopt);
}

TEST(PageChannel, AWaitingStreamWakesForAMessage) {
    PageChannel channel;
    auto stream = channel.connect();
    channel.next(stream, 0ms);
    std::thread publisher([&] {
        std::this_thread::sleep_for(50ms);
        channel.publish("x");
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.next(stream, 10s), "id: 1\ndata: x\n\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    publisher.join();
}

TEST(PageChannel, WaitingForTheEndTimesOutWhileAStreamLives) {
    PageChannel channel;
    auto stream = channel.connect();
    channel.close();
    EXPECT_FALSE(channel.waitAllEnded(20ms));
    channel.disconnect(stream);
    EXPECT_TRUE(channel.waitAllEnded(0ms));
}

TEST(PageChannel, APageThatStopsReadingIsDroppedBeforeItsBacklogGrowsWithoutBound) {
    PageChannel channel;
    auto stream = channel.connect();
    std::string big(1 << 20, 'x');
    for (std::size_t i = 0; i <= PageChannel::kMaxPendingBytes / big.size(); ++i)
        channel.publish(big);
    EXPECT_EQ(channel.connectedCount(), 0u);
    EXPECT_EQ(channel.next(stream, 0ms), std::nullopt);
}

// Many pages that stop reading, each within its own limit, must not add up: the one furthest
// behind goes first, and a page that keeps reading is kept.
TEST(PageChannel, PagesThatStopReadingAreDroppedBeforeTheirBacklogsAddUp) {
    PageChannel channel;
    auto reader = channel.connect();
    std::vector<PageChannel::StreamPtr> stopped;
    for (int i = 0; i < 8; ++i)
        stopped.push_back(channel.connect());
    const std::string big(1 << 20, 'x');
    std::size_t published = 0;
    while (channel.connectedCount() == 9 && published < 1000) {
        channel.publish(big);
        ++published;
        ASSERT_TRUE(channel.next(reader, 0ms));
    }
    // Eight backlogs stop the growth well before each reaches its own limit.
    EXPECT_LT(published * big.size(), PageChannel::kMaxPendingBytes);
    EXPECT_GE(8 * published * big.size(), PageChannel::kMaxPendingTotalBytes - 9 * big.size());
    EXPECT_EQ(channel.connectedCount(), 8u) << "one stopped page dropped, the reader kept";
    channel.publish(big);
    EXPECT_TRUE(channel.next(reader, 0ms));
}

TEST(PageChannel, AReconnectingPageLearnsWhetherItMissedMessages) {
    PageChannel channel;
    channel.publish("1");
    channel.publish("2");
    channel.publishReload();
    const std::pair<const char*, bool> cases[] = {
        {"", false},   // a first connect
        {"2", false},  // got everything
        {"3", false},  // cannot be behind what was never sent
        {"1", true},
        {"0", true},
        {"x", true},
        {"2x", true},
        {" 2", true},
        {"-1", true},
        {"99999999999999999999999", true},
    };
    for (auto [lastId, expected] : cases) {
        bool missed = !expected;
        auto stream = channel.connect(lastId, &missed);
        EXPECT_EQ(missed, expected) << '"' << lastId << '"';
        channel.disconnect(stream);
    }
}
