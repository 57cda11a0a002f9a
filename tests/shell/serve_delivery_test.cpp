// The browser host's deliveries: a page whose stream broke is brought up to date when it
// comes back, also after it lagged so far behind that the host let it go.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/json_read.h"
#include "shell/busy_server_tool.h"
#include "shell/serve_client.h"
#include "support/test_app.h"

namespace {

using namespace std::chrono_literals;
using namespace serve_test;
using json = nlohmann::json;

std::mutex seenMutex;
std::vector<std::string> seen;

void noteName(bridge::App&, const std::string& message) {
    std::lock_guard lock(seenMutex);
    seen.push_back(bridge::jsonString(message, "cmd"));
}

std::vector<std::string> seenAfter(std::chrono::milliseconds wait) {
    std::this_thread::sleep_for(wait);
    std::lock_guard lock(seenMutex);
    return seen;
}

const bridge::Command kCommands[] = {{"init", noteName}, {"refresh", noteName}};

TEST(ServeDelivery, APageThatMissedMessagesIsBroughtUpToDateWhenItReconnects) {
    {
        std::lock_guard lock(seenMutex);
        seen.clear();
    }
    HostUnderTest h(kCommands);
    std::string lastId;
    {
        EventReader page(h.port(), h.page());
        ASSERT_TRUE(page.connected());
        h.outbox.post("{\"type\":\"one\"}");
        auto event = page.next();
        ASSERT_TRUE(event);
        lastId = event->id;
        ASSERT_FALSE(lastId.empty());
    }
    // A page that reconnects having seen everything gets nothing afresh, nor does a page
    // that connects for the first time (it sends init itself).
    auto headersWith = [&](const std::string& id) {
        std::vector<std::string> headers = h.page();
        headers.push_back("Last-Event-ID: " + id);
        return headers;
    };
    { EventReader caughtUp(h.port(), headersWith(lastId)); }
    { EventReader fresh(h.port(), h.page()); }
    EXPECT_EQ(seenAfter(300ms), std::vector<std::string>{});

    // Posting is asynchronous: a page that stayed connected shows when it has gone out.
    EventReader witness(h.port(), h.page());
    ASSERT_TRUE(witness.connected());
    h.outbox.post("{\"type\":\"missed\"}");
    ASSERT_TRUE(witness.next());
    EventReader behind(h.port(), headersWith(lastId));
    ASSERT_TRUE(behind.connected());
    std::vector<std::string> expected = {"init"};
    auto deadline = Clock::now() + 5s;
    while (seenAfter(20ms).size() < expected.size() && Clock::now() < deadline) {
    }
    EXPECT_EQ(seenAfter(0ms), expected);
}

TEST_F(BusyServerTool, APageThatLagsFarBehindIsLetGoAndCatchesUpWhenItComesBack) {
    EventReader reader(port, page);
    ASSERT_TRUE(reader.connected());
    std::string lastId;
    auto deliver = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(refresh(), 204);
            auto event = reader.next();
            ASSERT_TRUE(event);
            ASSERT_GT(event->data.size(), 3u << 20);
            lastId = event->id;
        }
    };
    deliver(20);
    waitUntilIdle();
    const long before = residentKiB();

    // A page that stops reading while the host keeps talking: the host lets it go before
    // its backlog grows without bound...
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(refresh(), 204);
    // 180 MB in all: far more than a page may lag (64 MB), the text the host is writing to
    // it and what the connection holds. Once the tool has made them all it sits idle.
    waitUntilIdle();
    while (auto event = reader.next(10s)) {
        if (event->type == "message") lastId = event->id;
    }
    EXPECT_TRUE(reader.letGo()) << "the lagging stream was not ended";
    // What it held for the page is given back. When the allocator kept freed messages for
    // itself, 6 to 57 MiB of that backlog stayed; a message is 3 MiB.
    waitUntilIdle();
    const long after = residentKiB();
    std::cout << "tool resident " << before / 1024 << " MiB, after the lagging page "
              << after / 1024 << " MiB\n";
    if (kPlainAllocator) {
        EXPECT_LE(after, before + 4 * 1024);
    }
    // ...and when it comes back, it hears the whole picture again: state, studio, species.
    std::vector<std::string> headers = page;
    headers.push_back("Last-Event-ID: " + lastId);
    EventReader back(port, headers);
    ASSERT_TRUE(back.connected());
    std::vector<std::string> types;
    while (types.size() < 3) {
        auto event = back.next(10s);
        ASSERT_TRUE(event) << "after " << types.size() << " messages";
        std::string type = json::parse(event->data).value("type", "");
        if (type == "state" && !types.empty() && types.back() == "state") continue;
        types.push_back(type);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"state", "studio", "species"}));
}

}  // namespace
