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
    EXPECT_EQ(drain(channel, stream), "data: 1\n\nevent: reload\ndata: {}\n\ndata: 2\n\n");
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
    EXPECT_EQ(channel.next(stream, 0ms), "retry: 1000\n\ndata: last\n\n");
    EXPECT_EQ(channel.next(stream, 0ms), std::nullopt);
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
    EXPECT_EQ(channel.next(stream, 10s), "data: x\n\n");
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
