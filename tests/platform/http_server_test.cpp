// The browser host's HTTP server as clients use it over loopback: the exchanges a browser
// makes, the refusals, and the slow, silent and streaming clients that must not hold it.
#include "platform/http_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/folder_access.h"
#include "shell/serve_client.h"
#include "support/process_memory.h"
#include "support/test_app.h"

namespace {

using namespace std::chrono_literals;
using platform::ServerRequest;
using platform::ServerResponse;
using serve_test::Clock;
using serve_test::connectTo;
using serve_test::sendAll;
using test_socket::closeSocket;
using test_socket::Socket;

// A server that lets through requests with "X-Key: ok" and answers by path.
class TestServer {
  public:
    explicit TestServer(platform::HttpServerLimits limits = small())
        : server_(
              [](const ServerRequest& head) -> platform::HttpServer::Screening {
                  if (head.header("X-Key") == "ok") return {std::nullopt, true};
                  if (head.header("X-Key") == "guest") return {std::nullopt, false};
                  ServerResponse refusal;
                  refusal.status = 403;
                  return {std::move(refusal)};
              },
              [this](ServerRequest& request) { return answer(request); }, limits,
              {{"X-Common", "1"}}) {
        auto started = server_.start(0);
        if (!started) throw std::runtime_error("the server did not start");
        port = *started;
    }

    static platform::HttpServerLimits small() {
        platform::HttpServerLimits limits;
        limits.maxBodyBytes = 1 << 20;
        limits.workers = 4;
        return limits;
    }

    platform::HttpServer& server() { return server_; }
    int port = 0;
    // What /file and /shrinking answer with: this file, the latter announcing more than it
    // holds.
    std::string filePath;
    std::atomic<bool> streamEnded{false};

  private:
    ServerResponse answer(ServerRequest& request) {
        ServerResponse response;
        if (request.target == "/throw") throw std::runtime_error("a handler that fails");
        if (request.target == "/slow") std::this_thread::sleep_for(300ms);
        if (request.target == "/stream") {
            response.stream = [] {
                std::this_thread::sleep_for(20ms);
                return std::optional<std::string>("tick");
            };
            response.streamEnded = [this] { streamEnded = true; };
            return response;
        }
        if (request.target == "/file" || request.target == "/shrinking") {
            const std::filesystem::path path(filePath);
            platform::FileHandle file =
                platform::openInsideFolder(path.parent_path().string(), path.filename().string())
                    .value();
            std::uint64_t size = std::filesystem::file_size(path);
            response.setFileContent(std::move(file), size + (request.target == "/file" ? 0 : 10),
                                    "application/octet-stream");
            return response;
        }
        response.setContent(request.method + " " + request.target + " " + request.body,
                            "text/plain");
        return response;
    }

    platform::HttpServer server_;
};

// Reads answers off a connection one at a time, by their Content-Length.
class AnswerReader {
  public:
    explicit AnswerReader(Socket fd) : fd_(fd) {}

    // The next answer's status and body; status 0 when the connection ended first.
    std::pair<int, std::string> next(bool headOnly = false) {
        std::size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
            if (!fill()) return {0, ""};
        serve_test::Reply head = serve_test::parseReply(buffer_.substr(0, end + 4));
        buffer_.erase(0, end + 4);
        std::size_t length = headOnly ? 0 : std::stoul("0" + head.header("Content-Length"));
        while (buffer_.size() < length)
            if (!fill()) return {0, ""};
        std::string body = buffer_.substr(0, length);
        buffer_.erase(0, length);
        return {head.status, body};
    }

    // True when the server closes the connection within `limit` with nothing more to say.
    bool closedWithin(std::chrono::milliseconds limit) {
        if (!test_socket::waitReadable(fd_, limit)) return false;
        char byte;
        return test_socket::receiveNow(fd_, &byte, 1) <= 0;
    }

  private:
    bool fill() {
        char chunk[65536];
        long n = test_socket::receive(fd_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    Socket fd_;
    std::string buffer_;
};

TEST(HttpServer, ExchangesAreAnsweredInOrderAndBadOnesEndTheConnection) {
    const std::string key = "Host: h\r\nX-Key: ok\r\n";
    // A head of `length` bytes, its blank line included.
    auto headOf = [&](std::size_t length) {
        const std::string start = "GET /g HTTP/1.1\r\n" + key + "X-Fill: ";
        return start + std::string(length - start.size() - 4, 'f') + "\r\n\r\n";
    };
    const std::size_t cap = platform::HttpServerLimits().maxHeadBytes;
    struct Case {
        std::string name;
        std::string sent;
        std::vector<std::pair<int, std::string>> answers;
        bool closed;
    } cases[] = {
        {"pipelined",
         "GET /a HTTP/1.1\r\n" + key + "\r\nPOST /b HTTP/1.1\r\n" + key +
             "Content-Length: 5\r\n\r\nhello",
         {{200, "GET /a "}, {200, "POST /b hello"}},
         false},
        {"refused by the screen, its body unread",
         "POST / HTTP/1.1\r\nContent-Length: 900000\r\n\r\n" + std::string(900000, 'x'),
         {{403, ""}},
         true},
        {"malformed", "GET / HTTP/9\r\n" + key + "\r\n", {{400, "Bad Request\r\n"}}, true},
        {"too large",
         "POST / HTTP/1.1\r\n" + key + "Content-Length: 2000000\r\n\r\n",
         {{413, "Content Too Large\r\n"}},
         true},
        {"chunked",
         "POST / HTTP/1.1\r\n" + key + "Transfer-Encoding: chunked\r\n\r\n",
         {{501, "Not Implemented\r\n"}},
         true},
        {"continue",
         "POST /c HTTP/1.1\r\n" + key + "Expect: 100-continue\r\nContent-Length: 2\r\n\r\nok",
         {{100, ""}, {200, "POST /c ok"}},
         false},
        {"asks to close",
         "GET /d HTTP/1.1\r\n" + key + "Connection: close\r\n\r\n",
         {{200, "GET /d "}},
         true},
        {"a head as long as the cap", headOf(cap), {{200, "GET /g "}}, false},
        {"a head one byte longer",
         headOf(cap + 1),
         {{431, "Request Header Fields Too Large\r\n"}},
         true},
        {"handler fails",
         "GET /throw HTTP/1.1\r\n" + key + "\r\n",
         {{500, "Internal Server Error\r\n"}},
         false},
    };
    TestServer test;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Socket fd = connectTo(test.port);
        ASSERT_NE(fd, test_socket::kNone);
        ASSERT_TRUE(sendAll(fd, c.sent));
        AnswerReader reader(fd);
        for (const auto& expected : c.answers)
            EXPECT_EQ(reader.next(), expected);
        if (c.closed) {
            EXPECT_TRUE(reader.closedWithin(2s));
        } else {
            // Still open for the next request, and HEAD gets the length without the body.
            ASSERT_TRUE(sendAll(
                fd, "HEAD /e HTTP/1.1\r\n" + key + "\r\nGET /f HTTP/1.1\r\n" + key + "\r\n"));
            EXPECT_EQ(reader.next(true), std::make_pair(200, std::string()));
            EXPECT_EQ(reader.next(), std::make_pair(200, std::string("GET /f ")));
        }
        closeSocket(fd);
    }
}

TEST(HttpServer, SilentAndTricklingClientsAreLetGoWhileOthersAreServed) {
    platform::HttpServerLimits limits = TestServer::small();
    limits.headDeadline = 400ms;
    limits.maxUnproven = 4;
    TestServer test(limits);
    const auto start = Clock::now();
    std::vector<Socket> silent;
    for (int i = 0; i < 6; ++i)
        silent.push_back(connectTo(test.port));
    // Past the cap the oldest that proved nothing make room at once, the others stay until
    // the head deadline.
    EXPECT_TRUE(AnswerReader(silent[0]).closedWithin(300ms));
    EXPECT_TRUE(AnswerReader(silent[1]).closedWithin(300ms));
    EXPECT_FALSE(AnswerReader(silent[2]).closedWithin(0ms));
    for (std::size_t i = 2; i < silent.size(); ++i)
        EXPECT_TRUE(AnswerReader(silent[i]).closedWithin(2s)) << i;
    EXPECT_GE(Clock::now() - start, 350ms);
    for (Socket fd : silent)
        closeSocket(fd);

    // A client that has proven itself may wait between requests past the head deadline.
    Socket proven = connectTo(test.port);
    AnswerReader provenReader(proven);
    ASSERT_TRUE(sendAll(proven, "GET /p HTTP/1.1\r\nX-Key: ok\r\n\r\n"));
    EXPECT_EQ(provenReader.next().first, 200);

    // Trickling does not extend the deadline, and meanwhile others are served.
    Socket trickler = connectTo(test.port);
    const auto trickleStart = Clock::now();
    const std::string request = "GET /t HTTP/1.1\r\nX-Key: ok\r\n\r\n";
    bool cut = false;
    for (std::size_t i = 0; i < request.size() && !cut; ++i) {
        cut = !sendAll(trickler, request.substr(i, 1)) || AnswerReader(trickler).closedWithin(50ms);
        Socket other = connectTo(test.port);
        ASSERT_TRUE(sendAll(other, "GET /o HTTP/1.1\r\nX-Key: ok\r\nConnection: close\r\n\r\n"));
        EXPECT_EQ(AnswerReader(other).next().first, 200);
        closeSocket(other);
    }
    EXPECT_TRUE(cut) << "the trickler was served";
    EXPECT_GE(Clock::now() - trickleStart, 300ms);

    std::this_thread::sleep_for(limits.headDeadline);
    ASSERT_TRUE(sendAll(proven, "GET /q HTTP/1.1\r\nX-Key: ok\r\n\r\n"));
    EXPECT_EQ(provenReader.next(), std::make_pair(200, std::string("GET /q ")));
    closeSocket(trickler);
    closeSocket(proven);
}

// Answers go out as fast as each peer takes them, without holding the one worker: a file a
// piece at a time, streams on threads of their own and capped, and connections that are let
// through without being trusted capped, the oldest closed first.
TEST(HttpServer, SlowPeersHoldNeitherWorkersNorTrustedConnections) {
    platform::HttpServerLimits limits = TestServer::small();
    limits.workers = 1;
    limits.maxStreams = 1;
    limits.maxUntrusted = 2;
    TestServer test(limits);
    TempDir dir;
    test.filePath = dir.path() + "/large.bin";
    std::string content(24 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 / 3);
    std::ofstream(test.filePath, std::ios::binary) << content;
    const std::string guest = "X-Key: guest\r\n\r\n";
    const std::string trusted = "X-Key: ok\r\n\r\n";

    Socket slowReader = connectTo(test.port);
    test_socket::setReceiveBuffer(slowReader, 16 << 10);
    ASSERT_TRUE(sendAll(slowReader, "GET /file HTTP/1.1\r\n" + guest));
    Socket stream = connectTo(test.port);
    ASSERT_TRUE(sendAll(stream, "GET /stream HTTP/1.1\r\n" + trusted));
    AnswerReader streamReader(stream);
    ASSERT_EQ(streamReader.next(true).first, 200);
    // The file waits in its socket and the stream runs, yet the one worker still answers.
    struct Request {
        std::string name, sent;
        int status;
    } const requests[] = {
        {"plain, trusted", "GET /a HTTP/1.1\r\n" + trusted, 200},
        {"a second stream", "GET /stream HTTP/1.1\r\n" + trusted, 503},
        {"plain, guest", "GET /b HTTP/1.1\r\n" + guest, 200},
        {"a third guest", "GET /c HTTP/1.1\r\n" + guest, 200},
    };
    std::vector<Socket> open;
    for (const Request& r : requests) {
        SCOPED_TRACE(r.name);
        open.push_back(connectTo(test.port));
        const auto began = Clock::now();
        ASSERT_TRUE(sendAll(open.back(), r.sent));
        EXPECT_EQ(AnswerReader(open.back()).next(true).first, r.status);
        EXPECT_LT(Clock::now() - began, 1s);
    }
    // The slow reader was the oldest of three guests: closed for the last, though mid-answer.
    std::size_t received = 0;
    bool ended = false;
    for (const auto until = Clock::now() + 5s; !ended && Clock::now() < until;) {
        char chunk[65536];
        long n = test_socket::waitReadable(slowReader, 100ms)
                     ? test_socket::receive(slowReader, chunk, sizeof chunk)
                     : -1;
        ended = n == 0;
        received += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    EXPECT_TRUE(ended) << "the oldest guest was kept";
    EXPECT_LT(received, content.size());
    // A reader in time gets the whole file, and one that announced more than the file holds
    // ends the connection rather than a short answer followed by the next.
    for (const char* target : {"/file", "/shrinking"}) {
        SCOPED_TRACE(target);
        Socket reader = connectTo(test.port);
        ASSERT_TRUE(sendAll(reader, std::string("GET ") + target + " HTTP/1.1\r\n" + trusted));
        AnswerReader answer(reader);
        if (std::string_view(target) == "/file") {
            EXPECT_EQ(answer.next(), std::make_pair(200, content));
        } else {
            EXPECT_EQ(answer.next().first, 0);
        }
        closeSocket(reader);
    }
    for (Socket fd : open)
        closeSocket(fd);
    closeSocket(stream);
    closeSocket(slowReader);
}

TEST(HttpServer, StoppingEndsStreamsButAnswersTheRequestsInHand) {
    TestServer test;
    Socket stream = connectTo(test.port);
    ASSERT_TRUE(sendAll(stream, "GET /stream HTTP/1.1\r\nX-Key: ok\r\n\r\n"));
    AnswerReader streamReader(stream);
    ASSERT_EQ(streamReader.next(true).first, 200);
    Socket slow = connectTo(test.port);
    ASSERT_TRUE(sendAll(slow, "GET /slow HTTP/1.1\r\nX-Key: ok\r\n\r\n"));
    std::this_thread::sleep_for(100ms);

    const auto before = Clock::now();
    test.server().stop();
    EXPECT_LT(Clock::now() - before, 2s);
    EXPECT_TRUE(test.streamEnded);
    EXPECT_EQ(AnswerReader(slow).next(), std::make_pair(200, std::string("GET /slow ")));
    EXPECT_EQ(connectTo(test.port), test_socket::kNone) << "still listening after the stop";
    closeSocket(stream);
    closeSocket(slow);
}

}  // namespace

// Clients that passed the screen announce the largest body allowed and send nothing more:
// they must hold buffers, not the memory they announced. A body that does come, in pieces,
// still arrives whole.
TEST(HttpServer, AnnouncedBodiesTakeMemoryOnlyAsTheyArrive) {
    platform::HttpServerLimits limits = TestServer::small();
    limits.maxBodyBytes = 256 << 20;
    TestServer test(limits);
    const long before = peakResidentKiB();
    std::vector<Socket> announcers;
    for (int i = 0; i < 4; ++i) {
        announcers.push_back(connectTo(test.port));
        ASSERT_TRUE(sendAll(announcers.back(),
                            "POST /big HTTP/1.1\r\nX-Key: ok\r\n"
                            "Content-Length: 268435456\r\n\r\nabc"));
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(peakResidentKiB() - before, 64 * 1024) << "KiB grown for four announced bodies";

    const std::string body(3 << 20, 'b');
    Socket sender = connectTo(test.port);
    ASSERT_TRUE(sendAll(sender, "POST /b HTTP/1.1\r\nX-Key: ok\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 10)));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(sendAll(sender, body.substr(10)));
    EXPECT_EQ(AnswerReader(sender).next(), std::make_pair(200, "POST /b " + body));
    for (Socket fd : announcers)
        closeSocket(fd);
    closeSocket(sender);
}
