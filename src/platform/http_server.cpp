#include <algorithm>

#include "platform/http_server_impl.h"

namespace platform {

using namespace http_detail;

namespace {

// At the stop, how long the answers still going out get.
constexpr std::chrono::milliseconds kFlushLimit{2000};

}  // namespace

ServerResponse http_detail::plainAnswer(int status) {
    ServerResponse response;
    response.status = status;
    response.setContent(statusLine(status).substr(13), "text/plain");
    return response;
}

Result<int> HttpServer::Impl::start(int port) {
    Result<std::pair<SocketHandle, int>> listening = net::listenOnLoopback(port);
    if (!listening) return std::unexpected(listening.error());
    Result<net::SocketWaiter> opened = net::SocketWaiter::open();
    if (!opened) return std::unexpected(opened.error());
    listener = std::move(listening->first);
    waiter.emplace(std::move(*opened));
    waiter->watch(listener.get(), net::SocketWaiter::Interest::read);
    running = true;
    reader = std::thread([this] { loop(); });
    // Streams take threads from the same pool, at most maxStreams of them.
    for (std::size_t i = 0; i < limits.workers + limits.maxStreams; ++i)
        workers.emplace_back([this] { work(); });
    return listening->second;
}

void HttpServer::Impl::stop() {
    {
        std::lock_guard lock(mutex);
        if (!running) return;
        running = false;
        stopping = true;
        // A streamed answer never ends by itself; the others are finished, so that the
        // request that asked for the stop still hears its answer.
        for (net::SocketId socket : streaming)
            net::shutdownBoth(socket);
    }
    waiter->wake();
    jobsReady.notify_all();
    reader.join();
    // From here a new connection is refused rather than left waiting in the backlog.
    waiter->forget(listener.get());
    listener = SocketHandle();
    for (std::thread& worker : workers)
        worker.join();
    workers.clear();
    jobs.clear();
    flushAnswers();
}

void HttpServer::Impl::flushAnswers() {
    // Only this thread is left: the reading thread's connections are its own now.
    for (std::unique_ptr<Connection>& connection : returned)
        reading.emplace(connection->socket.get(), std::move(connection));
    returned.clear();
    std::erase_if(reading, [&](const auto& entry) {
        const bool done = entry.second->phase != Connection::Phase::sending;
        if (done) waiter->forget(entry.first);
        return done;
    });
    const Clock::time_point until = Clock::now() + kFlushLimit;
    while (!reading.empty() && Clock::now() < until) {
        for (auto it = reading.begin(); it != reading.end();) {
            bool moved = false;
            Outgoing::Progress progress = it->second->outgoing.sendSome(it->first, moved);
            if (progress != Outgoing::Progress::waiting) {
                waiter->forget(it->first);
                it = reading.erase(it);
                continue;
            }
            waiter->watch(it->first, net::SocketWaiter::Interest::write);
            ++it;
        }
        if (!reading.empty()) waiter->wait(std::chrono::milliseconds(50));
    }
    for (const auto& entry : reading)
        waiter->forget(entry.first);
    reading.clear();
}

void HttpServer::Impl::work() {
    while (true) {
        std::unique_ptr<Connection> connection;
        {
            std::unique_lock lock(mutex);
            jobsReady.wait(lock, [&] { return stopping || !jobs.empty(); });
            // Requests read before the stop are still answered.
            if (jobs.empty()) return;
            connection = std::move(jobs.front());
            jobs.pop_front();
        }
        serve(std::move(connection));
    }
}

void HttpServer::Impl::serve(std::unique_ptr<Connection> connection) {
    ServerRequest& request = connection->request;
    ServerResponse response;
    try {
        response = handle(request);
    } catch (...) {
        response = plainAnswer(500);
    }
    const net::SocketId socket = connection->socket.get();
    if (response.stream) {
        bool admitted;
        {
            std::lock_guard lock(mutex);
            admitted = !stopping && streaming.size() < limits.maxStreams;
            if (admitted) streaming.insert(socket);
        }
        if (admitted) {
            writeStream(socket, request, response, common, limits.writeStall);
            std::lock_guard lock(mutex);
            // Taken out under the lock, so stop() never shuts down a descriptor already
            // closed and perhaps given to something else.
            streaming.erase(socket);
            return;
        }
        if (response.streamEnded) response.streamEnded();
        response = plainAnswer(503);
    }
    connection->outgoing = Outgoing(request, response, common, !keepsAlive(request));
    connection->phase = Connection::Phase::sending;
    {
        std::lock_guard lock(mutex);
        returned.push_back(std::move(connection));
    }
    waiter->wake();
}

HttpServer::HttpServer(Screen screen, Handle handle, HttpServerLimits limits,
                       std::vector<HttpHeader> common)
    : impl_(std::make_unique<Impl>(std::move(screen), std::move(handle), limits,
                                   std::move(common))) {}

HttpServer::~HttpServer() {
    stop();
}

Result<int> HttpServer::start(int port) {
    return impl_->start(port);
}

void HttpServer::stop() {
    impl_->stop();
}

}  // namespace platform
