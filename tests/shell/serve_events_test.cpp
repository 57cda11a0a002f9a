// The browser host over real loopback connections: the event stream that carries messages to
// the page, and how the host ends.
#include "shell/serve_host_fixture.h"

namespace {

using namespace serve_host_test;

// ------------------------------------------------------------------------ the event stream

using ServeEvents = ServeHostTest;

TEST_F(ServeEvents, TheStreamIsAnUncachedEventStreamForThePageOnly) {
    HostUnderTest h(kTestCommands);
    EventReader stranger(h.port(), {h.hostHeader()});
    EXPECT_EQ(stranger.reply().status, 403);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    EXPECT_EQ(page.reply().header("Content-Type"), "text/event-stream");
    EXPECT_EQ(page.reply().header("Cache-Control"), "no-cache");
    h.outbox.post("{\"type\":\"hello\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "message");
    EXPECT_EQ(event->data, "{\"type\":\"hello\"}");
}

TEST_F(ServeEvents, MessagesAreDroppedWhileNoPageIsConnected) {
    HostUnderTest h(kTestCommands);
    for (int i = 0; i < 50; ++i)
        h.outbox.post("{\"type\":\"early\"}");
    // The writer takes them at once; this only leaves it ample time to drop them.
    std::this_thread::sleep_for(300ms);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    h.outbox.post("{\"type\":\"late\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->data, "{\"type\":\"late\"}");
}

TEST_F(ServeEvents, TenThousandMessagesFromFourThreadsArriveInPostingOrder) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    constexpr int kThreads = 4, kEach = 2500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                h.outbox.post("{\"type\":\"load\",\"thread\":\"" + std::to_string(t) +
                              "\",\"seq\":\"" + std::to_string(i) + "\"}");
            }
        });
    }
    for (auto& poster : posters)
        poster.join();
    std::vector<int> next(kThreads, 0);
    int received = 0;
    while (received < kThreads * kEach) {
        auto event = page.next();
        ASSERT_TRUE(event) << "after " << received << " messages";
        json message = json::parse(event->data);
        int t = std::stoi(message["thread"].get<std::string>());
        ASSERT_EQ(std::stoi(message["seq"].get<std::string>()), next[t]) << event->data;
        ++next[t];
        ++received;
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST_F(ServeEvents, AMessageWithLineBreaksStaysOneEvent) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    h.outbox.post("{\"type\":\"skins\",\r\n\"text\":\"a\\nb\"}");
    auto event = page.next();
    ASSERT_TRUE(event);
    json message = json::parse(event->data);
    EXPECT_EQ(message["type"], "skins");
    EXPECT_EQ(message["text"], "a\nb");
}

TEST_F(ServeEvents, EveryConnectedPageGetsEveryMessage) {
    HostUnderTest h(kTestCommands);
    EventReader first(h.port(), h.page());
    EventReader second(h.port(), h.page());
    ASSERT_TRUE(first.connected() && second.connected());
    for (int i = 0; i < 3; ++i)
        h.outbox.post("{\"type\":\"m\",\"i\":" + std::to_string(i) + "}");
    for (EventReader* page : {&first, &second}) {
        for (int i = 0; i < 3; ++i) {
            auto event = page->next();
            ASSERT_TRUE(event);
            EXPECT_EQ(event->data, "{\"type\":\"m\",\"i\":" + std::to_string(i) + "}");
        }
    }
}

TEST_F(ServeEvents, AnswersToCommandsComeBackInCommandOrder) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(h.post("{\"cmd\":\"echo\",\"n\":\"" + std::to_string(i) + "\"}").status, 204);
    for (int i = 0; i < 100; ++i) {
        auto event = page.next();
        ASSERT_TRUE(event);
        EXPECT_EQ(event->data, "{\"type\":\"echo\",\"n\":\"" + std::to_string(i) + "\"}");
    }
}

TEST_F(ServeEvents, AChangedServerFolderReloadsThePageAndMovesTheSpeciesFolder) {
    TempDir other;
    HostUnderTest h(kTestCommands, {other.path()});
    fs::create_directories(h.root() + "/species");
    fs::create_directories(other.path() + "/species");
    writeText(h.root() + "/species/old.png", "OLD");
    writeText(other.path() + "/species/new.png", "NEW");
    EXPECT_EQ(h.get("/species/old.png").body, "OLD");

    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"pickFolder\"}").status, 204);
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "reload");
    EXPECT_EQ(h.get("/species/new.png").body, "NEW");
    EXPECT_EQ(h.get("/species/old.png").status, 404);
}

TEST_F(ServeEvents, TheSameServerFolderAgainOnlyRefreshesTheState) {
    HostUnderTest h(kTestCommands, {"@root"});
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"pickFolder\"}").status, 204);
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, "message");
    EXPECT_EQ(json::parse(event->data)["type"], "state");
}

// ------------------------------------------------------------------------------- the end

using ServeClose = ServeHostTest;

TEST_F(ServeClose, WinCloseEndsTheHostAfterDeliveringWhatWasPosted) {
    HostUnderTest h(kTestCommands);
    EventReader page(h.port(), h.page());
    ASSERT_TRUE(page.connected());
    ASSERT_EQ(h.post("{\"cmd\":\"echo\",\"n\":\"last\"}").status, 204);
    ASSERT_EQ(h.post("{\"cmd\":\"winClose\"}").status, 204);
    ASSERT_TRUE(h.waitRunEnded(10s));
    auto event = page.next();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->data, "{\"type\":\"echo\",\"n\":\"last\"}");
    EXPECT_TRUE(page.endsWithin(5s));
    // Nothing listens any more.
    EXPECT_EQ(h.get("/").status, 0);
}

// The port number of a socket bound to a free port and closed again.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

class ServeTool : public ::testing::Test {
  protected:
    std::string dataHome() const { return dir / "data"; }
    std::string errFile() const { return dir / "stderr.txt"; }
    TempDir dir;
};

TEST_F(ServeTool, PrintsOnlyTheAddressAndEndsWithZeroOnWinClose) {
    ServeProcess tool({"--serve"}, dataHome(), errFile());
    std::string line = tool.firstLine(20s);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex(R"(http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))")))
        << line << "\n"
        << readText(errFile());
    int port = std::stoi(match[1]);
    std::string host = "Host: 127.0.0.1:" + match[1].str();
    Reply reply = roundTrip(port, requestText("GET", "/?token=" + match[2].str(), {host}));
    ASSERT_EQ(reply.status, 303);
    std::string setCookie = reply.header("Set-Cookie");
    std::string cookie = "Cookie: " + setCookie.substr(0, setCookie.find(';'));
    EXPECT_EQ(roundTrip(port, requestText("GET", "/", {host, cookie})).status, 200);
    reply = roundTrip(port, requestText("POST", "/_host/command",
                                        {host, cookie, "X-Forgeset-Token: " + match[2].str(),
                                         "Origin: http://127.0.0.1:" + match[1].str(),
                                         "Content-Type: application/json"},
                                        "{\"cmd\":\"winClose\"}"));
    EXPECT_EQ(reply.status, 204);
    EXPECT_EQ(tool.waitExit(20s), 0);
    EXPECT_EQ(tool.readOutput(5s), line + "\n");
}

TEST_F(ServeTool, TerminationAndInterruptEndItWithZero) {
    for (int number : {SIGTERM, SIGINT}) {
        ServeProcess tool({"--serve"}, dataHome(), errFile());
        ASSERT_FALSE(tool.firstLine(20s).empty()) << readText(errFile());
        tool.signal(number);
        EXPECT_EQ(tool.waitExit(20s), 0) << number;
    }
}

TEST_F(ServeTool, UsesTheGivenPortAndWillNotShareIt) {
    int port = freePort();
    ServeProcess first({"--serve", "--port", std::to_string(port)}, dataHome(), errFile());
    std::string line = first.firstLine(20s);
    EXPECT_EQ(line.rfind("http://127.0.0.1:" + std::to_string(port) + "/?token=", 0), 0u) << line;
    std::string secondErr = dir / "second.txt";
    ServeProcess second({"--serve", "--port", std::to_string(port)}, dataHome(), secondErr);
    EXPECT_EQ(second.waitExit(20s), 1);
    EXPECT_EQ(second.readOutput(1s), "");
    EXPECT_NE(readText(secondErr).find("cannot listen"), std::string::npos);
}

}  // namespace
