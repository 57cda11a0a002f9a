#pragma once
// The HTTP server's insides, shared by its two halves: the reading thread
// (http_reading.cpp) and starting, stopping and the workers (http_server.cpp). Both systems
// run this same code; only the socket calls beneath it (server_socket.h, socket_waiting.h)
// are each system's own.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/http_connection.h"
#include "platform/http_server.h"
#include "platform/socket_waiting.h"

namespace platform {

namespace http_detail {

// A short plain-text answer with the status's reason as its body.
ServerResponse plainAnswer(int status);

}  // namespace http_detail

struct HttpServer::Impl {
    Impl(Screen s, Handle h, HttpServerLimits l, std::vector<HttpHeader> c)
        : screen(std::move(s)), handle(std::move(h)), limits(l), common(std::move(c)) {}

    Result<int> start(int port);
    void stop();

    // The reading thread.
    void loop();
    // Takes a connection off the reading thread's map and out of the waiting.
    void drop(
        std::unordered_map<net::SocketId, std::unique_ptr<http_detail::Connection>>::iterator it);
    void acceptAll();
    // Closes the oldest connection that `trusted` is false and `proven` is as given, but never
    // `keep`; false when there is none.
    bool closeOldest(bool proven, const http_detail::Connection* keep = nullptr);
    void capUntrusted(const http_detail::Connection& keep);
    void receive(http_detail::Connection& connection);
    void advance(std::unique_ptr<http_detail::Connection>& connection);
    void readHead(std::unique_ptr<http_detail::Connection>& connection);
    void answerAndClose(http_detail::Connection& connection, int status);
    void answerAndClose(http_detail::Connection& connection, const ServerResponse& response);
    // After the last answer: what the client still sends is dropped until it closes.
    void lingerThenClose(http_detail::Connection& connection);
    void handOver(std::unique_ptr<http_detail::Connection>& connection);
    void sendMore(std::unique_ptr<http_detail::Connection>& connection);
    void answerSent(std::unique_ptr<http_detail::Connection>& connection);
    void takeBackReturned();
    void endExpired();
    http_detail::Clock::time_point nearestDeadline() const;

    // The workers.
    void work();
    void serve(std::unique_ptr<http_detail::Connection> connection);

    // After the threads have ended, the answers still on their way get a moment to go out.
    void flushAnswers();

    Screen screen;
    Handle handle;
    HttpServerLimits limits;
    std::vector<HttpHeader> common;

    SocketHandle listener;
    std::optional<net::SocketWaiter> waiter;
    std::thread reader;
    std::vector<std::thread> workers;

    // Owned by the reading thread: the connections it reads or writes to, by descriptor.
    std::unordered_map<net::SocketId, std::unique_ptr<http_detail::Connection>> reading;
    std::uint64_t accepted = 0;
    std::optional<http_detail::Clock::time_point> acceptPausedUntil;

    std::mutex mutex;
    std::condition_variable jobsReady;
    std::deque<std::unique_ptr<http_detail::Connection>> jobs;
    std::vector<std::unique_ptr<http_detail::Connection>> returned;
    // The sockets of the streamed answers being written, so that stopping can end them.
    std::set<net::SocketId> streaming;
    bool stopping = false;
    bool running = false;
};

}  // namespace platform
