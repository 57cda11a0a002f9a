#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/http_server_impl.h"

namespace platform {

using namespace http_detail;

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
    watch(listener.get());
    watch(wakeUp.get());
    running = true;
    reader = std::thread([this] { loop(); });
    for (std::size_t i = 0; i < limits.workers; ++i)
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
    returned.clear();
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
    const bool streamed = static_cast<bool>(response.stream);
    if (streamed) {
        std::lock_guard lock(mutex);
        if (stopping) ::shutdown(fd, SHUT_RDWR);
        streaming.insert(fd);
    }
    const bool closeAfter = !keepsAlive(request) || streamed;
    const bool reusable = writeAnswer(fd, request, response, common, closeAfter, limits.writeStall);
    std::lock_guard lock(mutex);
    // Taken out under the lock, so stop() never shuts down a descriptor already closed and
    // perhaps given to something else.
    streaming.erase(fd);
    if (!reusable || stopping) return;
    connection->request = ServerRequest();
    connection->bodyExpected = 0;
    connection->bodyReceived = 0;
    connection->phase = Connection::Phase::waiting;
    connection->deadline = Clock::now() + limits.idleLimit;
    returned.push_back(std::move(connection));
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
