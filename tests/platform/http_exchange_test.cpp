// httpExchange against a scripted server on the loopback listener, so both are exercised
// together with nothing but the platform layer, on every system.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/http.h"
#include "platform/loopback_listener.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t MiB = 1 << 20;

// Answers one connection at a time, each by the script; records every request it read whole
// (head and the body its Content-Length announces).
class ScriptedServer {
  public:
    using Script = std::function<void(ScriptedServer&, platform::LoopbackConnection&,
                                      const std::string& request)>;

    explicit ScriptedServer(Script script) : script_(std::move(script)) {
        auto listener = platform::LoopbackListener::open();
        if (!listener) throw std::runtime_error("no loopback listener: " + listener.error().what);
        port_ = listener->port();
        thread_ = std::thread([this, l = std::move(*listener)]() mutable { serve(l); });
    }
    ~ScriptedServer() {
        stopping = true;
        thread_.join();
    }

    std::string url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    // Waits, in small steps, while the test goes on; false once the server is stopping.
    bool pause(int ms) {
        for (int waited = 0; waited < ms && !stopping; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !stopping;
    }

    std::atomic<bool> stopping{false};

  private:
    void serve(platform::LoopbackListener& listener) {
        while (!stopping) {
            std::optional<platform::LoopbackConnection> connection = listener.accept(20);
            if (!connection) continue;
            std::string request = readRequest(*connection);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            script_(*this, *connection, request);
        }
    }
    std::string readRequest(platform::LoopbackConnection& connection) {
        std::string request;
        std::size_t wanted = std::string::npos;
        while (!stopping && request.size() < wanted) {
            std::string more = connection.receiveOnce(1 << 16, 2000);
            if (more.empty()) break;
            request += more;
            const std::size_t head = request.find("\r\n\r\n");
            if (head == std::string::npos) continue;
            const std::size_t length = request.find("Content-Length: ");
            wanted = head + 4;
            if (length != std::string::npos && length < head) {
                wanted += std::stoull(request.substr(length + 16));
            }
        }
        return request;
    }

    Script script_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

std::string answer(const std::string& status, const std::string& body,
                   const std::string& headers = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

std::string bodyOf(const std::string& request) {
    const std::size_t head = request.find("\r\n\r\n");
    return head == std::string::npos ? "" : request.substr(head + 4);
}

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class Folder {
  public:
    Folder() {
        static std::atomic<int> count{0};
        path_ = fs::temp_directory_path() /
                ("forgeset-http-" + std::to_string(Clock::now().time_since_epoch().count()) + "-" +
                 std::to_string(count++));
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

platform::HttpRequest request(const std::string& method, const std::string& url) {
    platform::HttpRequest r;
    r.method = method;
    r.url = url;
    r.timeouts = {.resolveMs = 2000,
                  .connectMs = 2000,
                  .sendMs = 5000,
                  .receiveMs = 5000,
                  .overallMs = 20000};
    return r;
}

TEST(HttpExchange, AnyStatusIsAReplyWithItsBody) {
    for (const std::string status : {"200 OK", "201 Created", "404 Not Found", "500 Oops"}) {
        ScriptedServer server(
            [&](ScriptedServer&, platform::LoopbackConnection& c, const std::string&) {
                c.sendAll(answer(status, "said " + status));
            });
        auto reply = platform::httpExchange(request("GET", server.url("/x")));
        ASSERT_TRUE(reply) << status;
        EXPECT_EQ(std::to_string(reply->status), status.substr(0, 3));
        EXPECT_EQ(reply->body, "said " + status);
    }
}

TEST(HttpExchange, SendsTheGivenHeadersAndNoCredentialsFromTheAddress) {
    ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& c, const std::string&) {
        c.sendAll(answer("200 OK", "{}"));
    });
    platform::HttpRequest r = request("GET", server.url("/api/me?from=3#frag"));
    r.url.insert(r.url.find("127.0.0.1"), "owner:secret@");
    r.headers = "Authorization: Bearer t0k\r\nX-Species: raptor\r\n";
    ASSERT_TRUE(platform::httpExchange(r));
    const std::string sent = server.requests().at(0);
    EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "GET /api/me?from=3 HTTP/1.1");
    EXPECT_NE(sent.find("\r\nAuthorization: Bearer t0k\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\nX-Species: raptor\r\n"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("Basic"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("secret"), std::string::npos) << sent;
}

TEST(HttpExchange, ARedirectIsAnsweredNotFollowed) {
    ScriptedServer server(
        [](ScriptedServer& s, platform::LoopbackConnection& c, const std::string&) {
            c.sendAll(answer("302 Found", "moved", "Location: " + s.url("/elsewhere") + "\r\n"));
        });
    auto reply = platform::httpExchange(request("GET", server.url("/here")));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 302u);
    EXPECT_EQ(reply->body, "moved");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpExchange, BodiesFromMemoryArriveWholeWithTheirLength) {
    for (std::size_t size : {std::size_t{0}, std::size_t{17}, std::size_t{3 * MiB + 5}}) {
        ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& c,
                                 const std::string&) { c.sendAll(answer("200 OK", "")); });
        const std::string body = pattern(size);
        platform::HttpRequest r = request("POST", server.url("/api/uploads"));
        r.body = body;
        ASSERT_TRUE(platform::httpExchange(r)) << size;
        const std::string sent = server.requests().at(0);
        EXPECT_NE(sent.find("Content-Length: " + std::to_string(size) + "\r\n"), std::string::npos);
        EXPECT_TRUE(bodyOf(sent) == body) << size;
    }
}

TEST(HttpExchange, UploadsAFileRangeInMebibyteBlocksWithProgress) {
    Folder folder;
    const std::string file = folder / "archive.zip";
    const std::string bytes = pattern(3 * MiB + 5);
    writeFile(file, bytes);
    struct Case {
        std::uint64_t offset;
        std::optional<std::uint64_t> length;
        std::vector<std::uint64_t> progress;
    };
    const Case cases[] = {
        {0, std::nullopt, {MiB, 2 * MiB, 3 * MiB, 3 * MiB + 5}},
        {MiB + 3, MiB + 10, {MiB, MiB + 10}},
        {bytes.size(), 0, {}},
    };
    for (const Case& c : cases) {
        ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& conn,
                                 const std::string&) { conn.sendAll(answer("200 OK", "")); });
        platform::HttpRequest r = request("PUT", server.url("/api/uploads/u/parts/0"));
        r.uploadFile = file;
        r.uploadOffset = c.offset;
        r.uploadLength = c.length;
        r.body = "ignored";
        std::vector<std::uint64_t> progress;
        r.progress = [&](std::uint64_t sent, std::uint64_t total) {
            progress.push_back(sent);
            EXPECT_EQ(total, c.length.value_or(bytes.size()));
        };
        ASSERT_TRUE(platform::httpExchange(r)) << c.offset;
        const std::string expected = bytes.substr(c.offset, c.length.value_or(std::string::npos));
        EXPECT_TRUE(bodyOf(server.requests().at(0)) == expected) << c.offset;
        EXPECT_EQ(progress, c.progress) << c.offset;
    }
}

TEST(HttpExchange, AnUploadThatCannotBeSentWholeIsNotStarted) {
    Folder folder;
    writeFile(folder / "short.zip", "0123456789");
    fs::create_directory(folder / "a-folder");
    ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& c, const std::string&) {
        c.sendAll(answer("200 OK", ""));
    });
    struct Case {
        std::string file;
        std::uint64_t offset;
        std::optional<std::uint64_t> length;
    };
    for (const Case& c :
         {Case{folder / "missing.zip", 0, std::nullopt}, Case{folder / "a-folder", 0, std::nullopt},
          Case{folder / "short.zip", 4, 7}, Case{folder / "short.zip", 11, 0}}) {
        platform::HttpRequest r = request("PUT", server.url("/part"));
        r.uploadFile = c.file;
        r.uploadOffset = c.offset;
        r.uploadLength = c.length;
        auto reply = platform::httpExchange(r);
        ASSERT_FALSE(reply) << c.file << " " << c.offset;
        EXPECT_EQ(reply.error(), platform::HttpFailure::cannotReadUpload);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpExchange, OnlyAnAnswerWithStatus200GoesToTheDownloadFile) {
    Folder folder;
    const std::string target = folder / "result.zip";
    const std::string archive = pattern(MiB + 77);
    struct Case {
        std::string status, body;
        bool fileKept;
    };
    for (const Case& c : {Case{"200 OK", archive, true}, Case{"200 OK", "", true},
                          Case{"500 Broken", "{\"error\":\"no\"}", false}}) {
        writeFile(target, "an older result");
        ScriptedServer server([&](ScriptedServer&, platform::LoopbackConnection& conn,
                                  const std::string&) { conn.sendAll(answer(c.status, c.body)); });
        platform::HttpRequest r = request("GET", server.url("/api/jobs/j/result"));
        r.downloadFile = target;
        auto reply = platform::httpExchange(r);
        ASSERT_TRUE(reply) << c.status;
        if (c.fileKept) {
            EXPECT_TRUE(reply->body.empty());
            EXPECT_TRUE(readFile(target) == c.body) << c.body.size();
        } else {
            EXPECT_EQ(reply->body, c.body);
            EXPECT_EQ(readFile(target), "an older result");
        }
    }
}

TEST(HttpExchange, ADownloadPastItsCapFailsAndLeavesNoFile) {
    Folder folder;
    ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& c, const std::string&) {
        c.sendAll(answer("200 OK", pattern(300000)));
    });
    platform::HttpRequest r = request("GET", server.url("/result"));
    r.downloadFile = folder / "result.zip";
    r.downloadCap = 299999;
    auto reply = platform::httpExchange(r);
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error(), platform::HttpFailure::downloadTooLarge);
    EXPECT_FALSE(fs::exists(r.downloadFile));
    r.downloadCap = 300000;
    EXPECT_TRUE(platform::httpExchange(r));
    EXPECT_EQ(fs::file_size(r.downloadFile), 300000u);
}

TEST(HttpExchange, AnAnswerInMemoryStopsGrowingAtItsCap) {
    const std::string flood = pattern(2 * MiB);
    ScriptedServer server([&](ScriptedServer&, platform::LoopbackConnection& c,
                              const std::string&) { c.sendAll(answer("200 OK", flood)); });
    platform::HttpRequest r = request("GET", server.url("/flood"));
    r.bodyCap = 100000;
    auto reply = platform::httpExchange(r);
    ASSERT_TRUE(reply);
    EXPECT_GE(reply->body.size(), r.bodyCap);
    EXPECT_LT(reply->body.size(), r.bodyCap + platform::httpReceiveBlock);
    EXPECT_TRUE(flood.starts_with(reply->body));
}

TEST(HttpExchange, AnAnswerCutShortIsNoAnswer) {
    ScriptedServer server([](ScriptedServer&, platform::LoopbackConnection& c, const std::string&) {
        c.sendAll("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part of it");
    });
    platform::HttpRequest r = request("GET", server.url("/cut"));
    auto reply = platform::httpExchange(r);
    ASSERT_FALSE(reply);
    EXPECT_EQ(reply.error(), platform::HttpFailure::noAnswer);
}

// A peer that never answers, or trickles, or a caller who gives up: each ends the exchange
// soon after its limit, whatever the peer does.
TEST(HttpExchange, EndsAtEachOfItsLimits) {
    struct Case {
        std::string name;
        bool trickle;
        platform::HttpTimeouts timeouts;
        int stopAfterMs;
        platform::HttpFailure failure;
    };
    const Case cases[] = {
        {"silent", false, {.receiveMs = 300, .overallMs = 0}, 0, platform::HttpFailure::noAnswer},
        {"trickling",
         true,
         {.receiveMs = 5000, .overallMs = 600},
         0,
         platform::HttpFailure::noAnswer},
        {"stopped",
         false,
         {.receiveMs = 60000, .overallMs = 0},
         300,
         platform::HttpFailure::stopped},
    };
    for (const Case& c : cases) {
        ScriptedServer server(
            [&](ScriptedServer& s, platform::LoopbackConnection& conn, const std::string&) {
                if (c.trickle) conn.sendAll("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
                while (s.pause(50) && (!c.trickle || conn.sendAll("x"))) {
                }
            });
        platform::HttpRequest r = request("GET", server.url("/slow"));
        r.timeouts = c.timeouts;
        const auto start = Clock::now();
        if (c.stopAfterMs > 0) {
            r.stop = [&] {
                return Clock::now() - start > std::chrono::milliseconds(c.stopAfterMs);
            };
        }
        auto reply = platform::httpExchange(r);
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        ASSERT_FALSE(reply) << c.name;
        EXPECT_EQ(reply.error(), c.failure) << c.name;
        EXPECT_GE(took, 0.25) << c.name;
        EXPECT_LT(took, 3.0) << c.name;
    }
}

TEST(HttpExchange, SaysWhyNothingWasExchanged) {
    int closedPort = 0;
    {
        auto listener = platform::LoopbackListener::open();
        ASSERT_TRUE(listener);
        closedPort = listener->port();
    }
    auto unreachable = platform::httpExchange(
        request("GET", "http://127.0.0.1:" + std::to_string(closedPort) + "/api/me"));
    ASSERT_FALSE(unreachable);
    EXPECT_EQ(unreachable.error(), platform::HttpFailure::cannotReach);
    for (const std::string url : {"ftp://127.0.0.1/x", "127.0.0.1/x", "http:///x"}) {
        auto bad = platform::httpExchange(request("GET", url));
        ASSERT_FALSE(bad) << url;
        EXPECT_EQ(bad.error(), platform::HttpFailure::badUrl) << url;
    }
}

}  // namespace
