#pragma once
// A browser as far as the browser host's tests need one: exact bytes over a loopback socket
// (so Host, Origin and path tricks go out unchanged), a reader of the event stream, and the
// host itself run in this process or as a child process.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bridge/app.h"
#include "bridge/outbox.h"
#include "platform/dialogs.h"
#include "shell/serve_host.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/test_app.h"
#include "support/test_socket.h"

namespace serve_test {

using Clock = std::chrono::steady_clock;

inline std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

using test_socket::closeSocket;
using test_socket::connectTo;
using test_socket::sendAll;
using test_socket::Socket;

struct Reply {
    int status = 0;
    std::multimap<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string header(const std::string& name) const {
        auto it = headers.find(lower(name));
        return it == headers.end() ? std::string() : it->second;
    }
    std::size_t count(const std::string& name) const { return headers.count(lower(name)); }
};

// Splits a whole response: status line, headers, and the body (chunks joined).
inline Reply parseReply(const std::string& raw) {
    Reply reply;
    std::size_t end = raw.find("\r\n\r\n");
    if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return reply;
    reply.status = std::atoi(raw.c_str() + 9);
    std::size_t line = raw.find("\r\n") + 2;
    while (line < end) {
        std::size_t next = raw.find("\r\n", line);
        std::string text = raw.substr(line, next - line);
        std::size_t colon = text.find(':');
        std::string value = text.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        reply.headers.emplace(lower(text.substr(0, colon)), value);
        line = next + 2;
    }
    std::string rest = raw.substr(end + 4);
    if (lower(reply.header("transfer-encoding")) == "chunked") {
        std::size_t at = 0;
        while (at < rest.size()) {
            std::size_t size = std::strtoul(rest.c_str() + at, nullptr, 16);
            at = rest.find("\r\n", at) + 2;
            if (size == 0) break;
            reply.body += rest.substr(at, size);
            at += size + 2;
        }
    } else {
        reply.body = rest;
    }
    return reply;
}

// Sends the bytes as they are and reads the answer to its end (the request must ask for
// Connection: close). Status 0 when the connection failed or nothing came back.
inline Reply roundTrip(int port, const std::string& request) {
    Socket socket = connectTo(port);
    if (socket == test_socket::kNone) return {};
    sendAll(socket, request);
    std::string raw;
    char buffer[1 << 16];
    while (true) {
        long n = test_socket::receive(socket, buffer, sizeof buffer);
        if (n <= 0) break;
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    closeSocket(socket);
    return parseReply(raw);
}

// The text of one request. Header lines are given whole ("Name: value"); Content-Length and
// Connection: close are added.
inline std::string requestText(const std::string& method, const std::string& target,
                               const std::vector<std::string>& headers,
                               const std::string& body = std::string()) {
    std::string text = method + " " + target + " HTTP/1.1\r\n";
    for (const std::string& header : headers)
        text += header + "\r\n";
    if (method == "POST") text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "Connection: close\r\n\r\n" + body;
    return text;
}

// One event of the event stream.
struct Event {
    std::string type = "message";
    std::string id;
    std::string data;
};

// A page's event stream, read as it arrives.
class EventReader {
  public:
    EventReader(int port, const std::vector<std::string>& headers,
                const std::string& target = "/_host/events") {
        fd_ = connectTo(port);
        if (fd_ == test_socket::kNone) return;
        sendAll(fd_, requestText("GET", target, headers));
        // The host answers at once with the stream's headers and its reconnect hint; once
        // they are here the host counts this page as connected.
        while (head_.find("\r\n\r\n") == std::string::npos) {
            if (!fill(head_)) return;
        }
        std::size_t end = head_.find("\r\n\r\n");
        reply_ = parseReply(head_.substr(0, end + 4));
        chunked_ = head_.substr(end + 4);
        while (decoded_.find("retry:") == std::string::npos && reply_.status == 200) {
            if (!more()) return;
        }
    }
    ~EventReader() { disconnect(); }
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;

    const Reply& reply() const { return reply_; }
    bool connected() const { return fd_ != test_socket::kNone && reply_.status == 200; }

    // The next event; nothing when the stream ended or `limit` passed.
    std::optional<Event> next(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        auto deadline = Clock::now() + limit;
        while (true) {
            std::size_t end = decoded_.find("\n\n");
            while (end != std::string::npos) {
                std::string block = decoded_.substr(0, end);
                decoded_.erase(0, end + 2);
                if (auto event = parseEvent(block)) return event;
                end = decoded_.find("\n\n");
            }
            if (ended_ || Clock::now() > deadline || !more()) return std::nullopt;
        }
    }

    // True when the host ended the stream (the last chunk came) within `limit`.
    bool endsWithin(std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        while (!ended_ && Clock::now() < deadline) {
            if (!more()) break;
        }
        return ended_;
    }

    // True when the host let the page go: it ended the stream, or it closed the connection
    // (as it does to a page that has not read for a while).
    bool letGo() {
        while (!ended_ && !hungUp_) {
            if (!more()) break;
        }
        return ended_ || hungUp_;
    }

    void disconnect() {
        closeSocket(fd_);
        fd_ = test_socket::kNone;
    }

  private:
    static std::optional<Event> parseEvent(const std::string& block) {
        Event event;
        bool hasData = false;
        std::size_t at = 0;
        while (at <= block.size()) {
            std::size_t end = block.find('\n', at);
            if (end == std::string::npos) end = block.size();
            std::string line = block.substr(at, end - at);
            at = end + 1;
            if (line.rfind("data: ", 0) == 0) {
                event.data += line.substr(6);
                hasData = true;
            } else if (line.rfind("event: ", 0) == 0) {
                event.type = line.substr(7);
            } else if (line.rfind("id: ", 0) == 0) {
                event.id = line.substr(4);
            }
        }
        if (!hasData) return std::nullopt;
        return event;
    }

    bool fill(std::string& into) {
        char buffer[1 << 16];
        long n = test_socket::receive(fd_, buffer, sizeof buffer);
        // A time-out of the socket is no answer either way.
        if (n == 0 || n == -1) hungUp_ = true;
        if (n <= 0) return false;
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    // Decodes whole chunks; reads more bytes when none is complete.
    bool more() {
        while (true) {
            std::size_t lineEnd = chunked_.find("\r\n");
            if (lineEnd != std::string::npos) {
                std::size_t size = std::strtoul(chunked_.c_str(), nullptr, 16);
                if (size == 0) {
                    ended_ = true;
                    return true;
                }
                if (chunked_.size() >= lineEnd + 2 + size + 2) {
                    decoded_ += chunked_.substr(lineEnd + 2, size);
                    chunked_.erase(0, lineEnd + 2 + size + 2);
                    return true;
                }
            }
            if (fd_ == test_socket::kNone || !fill(chunked_)) return false;
        }
    }

    Socket fd_ = test_socket::kNone;
    std::string head_, chunked_, decoded_;
    Reply reply_;
    bool ended_ = false;
    bool hungUp_ = false;
};

// The browser host in this process over a private app data folder and server folder, with
// its command loop on a thread of its own, as the main thread runs it in the tool. Dialogs
// are answered by `dialogAnswers`, or with `pageDialogs` by the page, as in the tool
// without --dialogs.
class HostUnderTest {
  public:
    explicit HostUnderTest(std::span<const bridge::Command> commands,
                           std::vector<std::string> dialogAnswers = {}, bool withRoot = true,
                           bool pageDialogs = false)
        : xdg_("XDG_DATA_HOME", home.path() + "/data") {
        // "@root" answers with this host's own server folder, which only exists from here on;
        // the answers are in place before the host's thread can read them.
        for (std::string& answer : dialogAnswers)
            if (answer == "@root") answer = root();
        dialogs = platform::ScriptedDialogs(std::move(dialogAnswers));
        std::filesystem::create_directories(root());
        std::filesystem::create_directories(assets());
        host = std::make_unique<ServeHost>(0);
        platform::Dialogs& chosen = pageDialogs ? host->dialogs() : dialogs;
        app = std::make_unique<bridge::App>(outbox, chosen, host->window(), commands);
        if (withRoot) app->serverRoot.set(root());
        if (!host->start(*app)) throw std::runtime_error("the host did not start");
        runner = std::thread([this] {
            runnerId = std::this_thread::get_id();
            host->run();
        });
    }
    ~HostUnderTest() {
        host->stop();
        if (runner.joinable()) runner.join();
        host.reset();
        app.reset();
    }

    // Waits until run() has returned (after winClose); false when it has not within `limit`.
    bool waitRunEnded(std::chrono::milliseconds limit) {
        auto deadline = Clock::now() + limit;
        while (!host->closedByPage() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!host->closedByPage()) return false;
        runner.join();
        return true;
    }

    int port() const { return host->port(); }
    std::string authority() const { return "127.0.0.1:" + std::to_string(port()); }
    std::string hostHeader() const { return "Host: " + authority(); }
    std::string originHeader() const { return "Origin: http://" + authority(); }
    std::string cookieHeader() const {
        return "Cookie: forgeset_token_" + std::to_string(port()) + "=" + host->sessionCookie();
    }
    // The token as the page shows it with its posts.
    std::string keyHeader() const { return "X-Forgeset-Token: " + host->token(); }
    std::vector<std::string> page() const { return {hostHeader(), cookieHeader(), keyHeader()}; }

    Reply get(const std::string& target) const {
        return roundTrip(port(), requestText("GET", target, page()));
    }
    // A command as the page posts it.
    Reply post(const std::string& body) const {
        return roundTrip(port(), requestText("POST", "/_host/command",
                                             {hostHeader(), cookieHeader(), keyHeader(),
                                              originHeader(), "Content-Type: application/json"},
                                             body));
    }

    std::string root() const { return home.path() + "/server"; }
    std::string appData() const { return home.path() + "/data/VarraForgeset"; }
    std::string assets() const { return appData() + "/assets"; }

    TempDir home;

  private:
    ScopedEnv xdg_;

  public:
    bridge::Outbox outbox;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<ServeHost> host;
    std::unique_ptr<bridge::App> app;
    std::thread runner;
    std::thread::id runnerId;
};

// The tool as a child process with --serve: standard output through a pipe, standard error
// into a file, and an environment of only its data folder and the system's programs.
class ServeProcess : public ChildProcess {
  public:
    ServeProcess(const std::vector<std::string>& args, const std::string& dataHome,
                 const std::string& errFile)
        : ChildProcess(options(args, dataHome, errFile)) {}

  private:
    static Options options(const std::vector<std::string>& args, const std::string& dataHome,
                           const std::string& errFile) {
        Options options(
            FORGESET_TOOL_PATH, args,
            {{"XDG_DATA_HOME", dataHome}, {"HOME", dataHome}, {"PATH", "/usr/bin:/bin"}});
        options.inheritEnv = false;
        options.in = Stream::Null;
        options.errFile = errFile;
        return options;
    }
};

}  // namespace serve_test
