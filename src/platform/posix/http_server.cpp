#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/http_server_impl.h"

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
    listener = FileHandle(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener) return fail(errno, "create a socket");
    // Plain address reuse only: with port sharing a second copy of the tool could bind the
    // same port and the kernel would split the page's requests between the two.
    int yes = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(errno, "bind");
    if (::listen(listener.get(), SOMAXCONN) != 0) return fail(errno, "listen");
    socklen_t length = sizeof address;
    if (::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return fail(errno, "read the port");

    epoll = FileHandle(::epoll_create1(EPOLL_CLOEXEC));
    wakeUp = FileHandle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!epoll || !wakeUp) return fail(errno, "create the event loop");
    watch(listener.get(), EPOLLIN);
    watch(wakeUp.get(), EPOLLIN);
    running = true;
    reader = std::thread([this] { loop(); });
    // Streams take threads from the same pool, at most maxStreams of them.
    for (std::size_t i = 0; i < limits.workers + limits.maxStreams; ++i)
        workers.emplace_back([this] { work(); });
    return ntohs(address.sin_port);
}

void HttpServer::Impl::stop() {
    {
        std::lock_guard lock(mutex);
        if (!running) return;
        running = false;
        stopping = true;
        // A streamed answer never ends by itself; the others are finished, so that the
        // request that asked for the stop still hears its answer.
        for (int fd : streaming)
            ::shutdown(fd, SHUT_RDWR);
    }
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeUp.get(), &one, sizeof one);
    jobsReady.notify_all();
    reader.join();
    // From here a new connection is refused rather than left waiting in the backlog.
    listener = FileHandle();
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
    std::erase_if(reading, [](const auto& entry) {
        return entry.second->phase != Connection::Phase::sending;
    });
    const Clock::time_point until = Clock::now() + kFlushLimit;
    while (!reading.empty() && Clock::now() < until) {
        std::vector<pollfd> waiting;
        for (auto it = reading.begin(); it != reading.end();) {
            bool moved = false;
            Outgoing::Progress progress = it->second->outgoing.sendSome(it->first, moved);
            if (progress != Outgoing::Progress::waiting) {
                it = reading.erase(it);
                continue;
            }
            waiting.push_back({it->first, POLLOUT, 0});
            ++it;
        }
        if (!waiting.empty()) ::poll(waiting.data(), waiting.size(), 50);
    }
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
    const int fd = connection->socket.get();
    if (response.stream) {
        bool admitted;
        {
            std::lock_guard lock(mutex);
            admitted = !stopping && streaming.size() < limits.maxStreams;
            if (admitted) streaming.insert(fd);
        }
        if (admitted) {
            writeStream(fd, request, response, common, limits.writeStall);
            std::lock_guard lock(mutex);
            // Taken out under the lock, so stop() never shuts down a descriptor already
            // closed and perhaps given to something else.
            streaming.erase(fd);
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
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeUp.get(), &one, sizeof one);
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
