#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/http_server_impl.h"

// The reading thread: accepts connections, reads each request's head and body as the bytes
// arrive, keeps the deadlines and the caps, hands complete requests to the workers and writes
// their answers.

namespace platform {

// How much a body grows by at most per read.
constexpr std::size_t kBodyStep = 256 << 10;

using namespace http_detail;

namespace {

// After an answer that ends the connection, how long the client gets to close its side.
constexpr std::chrono::milliseconds kLingerLimit{2000};
// When the process has no descriptor left for a new connection, how long to wait before
// trying again (a level-triggered listener would otherwise wake the loop without pause).
constexpr std::chrono::milliseconds kAcceptPause{100};

int millisecondsUntil(Clock::time_point when) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

}  // namespace

void HttpServer::Impl::watch(int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, fd, &event);
}

void HttpServer::Impl::changeWatch(int fd, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    ::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, fd, &event);
}

void HttpServer::Impl::loop() {
    epoll_event events[64];
    while (true) {
        Clock::time_point next = nearestDeadline();
        int timeout = next == Clock::time_point::max() ? -1 : millisecondsUntil(next);
        int count = ::epoll_wait(epoll.get(), events, 64, timeout);
        {
            std::lock_guard lock(mutex);
            if (stopping) break;
        }
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listener.get()) {
                acceptAll();
            } else if (fd == wakeUp.get()) {
                std::uint64_t drained;
                [[maybe_unused]] auto got = ::read(wakeUp.get(), &drained, sizeof drained);
                takeBackReturned();
            } else if (auto it = reading.find(fd); it != reading.end()) {
                if (it->second->phase == Connection::Phase::sending) {
                    sendMore(it->second);
                } else {
                    receive(*it->second);
                    advance(it->second);
                }
                if (!it->second) reading.erase(it);
            }
        }
        endExpired();
    }
}

Clock::time_point HttpServer::Impl::nearestDeadline() const {
    Clock::time_point nearest = acceptPausedUntil.value_or(Clock::time_point::max());
    for (const auto& [fd, connection] : reading)
        nearest = std::min(nearest, connection->deadline);
    return nearest;
}

void HttpServer::Impl::acceptAll() {
    while (true) {
        int fd = ::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE) {
                // Out of descriptors: a connection that proved nothing makes room, else one
                // that is not trusted, or the listener rests a moment.
                if (closeOldest(false) || closeOldest(true)) continue;
                ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, listener.get(), nullptr);
                acceptPausedUntil = Clock::now() + kAcceptPause;
            }
            return;
        }
        std::size_t unproven = 0;
        for (const auto& [other, connection] : reading)
            unproven += connection->proven ? 0 : 1;
        if (unproven >= limits.maxUnproven) closeOldest(false);
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        auto connection = std::make_unique<Connection>();
        connection->socket = FileHandle(fd);
        connection->serial = accepted++;
        connection->deadline = Clock::now() + limits.headDeadline;
        watch(fd, EPOLLIN);
        reading.emplace(fd, std::move(connection));
    }
}

bool HttpServer::Impl::closeOldest(bool proven, const Connection* keep) {
    auto oldest = reading.end();
    for (auto it = reading.begin(); it != reading.end(); ++it) {
        const Connection& c = *it->second;
        if (c.proven != proven || c.trusted || &c == keep) continue;
        if (oldest == reading.end() || c.serial < oldest->second->serial) oldest = it;
    }
    if (oldest == reading.end()) return false;
    reading.erase(oldest);
    return true;
}

void HttpServer::Impl::capUntrusted(const Connection& keep) {
    std::size_t untrusted = 0;
    for (const auto& [fd, connection] : reading)
        untrusted += connection->proven && !connection->trusted ? 1 : 0;
    // `keep` may not be among them yet: it is on its way back from a worker.
    if (!reading.contains(keep.socket.get())) ++untrusted;
    if (untrusted > limits.maxUntrusted) closeOldest(true, &keep);
}

void HttpServer::Impl::receive(Connection& connection) {
    const int fd = connection.socket.get();
    ssize_t got;
    if (connection.phase == Connection::Phase::body) {
        std::string& body = connection.request.body;
        const std::size_t want =
            std::min(connection.bodyExpected - connection.bodyReceived, kBodyStep);
        body.resize(connection.bodyReceived + want);
        got = ::recv(fd, body.data() + connection.bodyReceived, want, 0);
        if (got > 0) connection.bodyReceived += static_cast<std::size_t>(got);
        body.resize(connection.bodyReceived);
    } else {
        char buffer[16384];
        got = ::recv(fd, buffer, sizeof buffer, 0);
        // Once the answer is out, what still comes is of no interest.
        if (got > 0 && connection.phase != Connection::Phase::closing)
            connection.pending.append(buffer, static_cast<std::size_t>(got));
    }
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        connection.socket = FileHandle();
}

void HttpServer::Impl::advance(std::unique_ptr<Connection>& connection) {
    if (!connection->socket) return connection.reset();
    if (connection->phase == Connection::Phase::waiting && !connection->pending.empty()) {
        connection->phase = Connection::Phase::head;
        if (connection->proven) connection->deadline = Clock::now() + limits.headDeadline;
    }
    if (connection->phase == Connection::Phase::head) readHead(connection);
    if (connection && connection->phase == Connection::Phase::body &&
        connection->bodyReceived == connection->bodyExpected)
        handOver(connection);
}

void HttpServer::Impl::readHead(std::unique_ptr<Connection>& connection) {
    Connection& c = *connection;
    std::optional<std::size_t> length = headLength(c.pending);
    if (!length) {
        if (c.pending.size() > limits.maxHeadBytes) answerAndClose(c, 431);
        return;
    }
    if (*length > limits.maxHeadBytes) return answerAndClose(c, 431);
    std::optional<ServerRequest> head = parseHead(std::string_view(c.pending).substr(0, *length));
    c.pending.erase(0, *length);
    if (!head) return answerAndClose(c, 400);
    HttpServer::Screening verdict;
    try {
        verdict = screen(*head);
    } catch (...) {
        // The reading thread serves every connection; one request must not end it.
        verdict.answer = plainAnswer(500);
    }
    if (verdict.answer) return answerAndClose(c, *verdict.answer);
    c.proven = true;
    c.trusted = c.trusted || verdict.trusted;
    if (!c.trusted) capUntrusted(c);
    BodyFraming framing = bodyFraming(*head);
    if (framing.kind == BodyFraming::unsupported) return answerAndClose(c, 501);
    if (framing.kind == BodyFraming::invalid) return answerAndClose(c, 400);
    if (framing.bytes > limits.maxBodyBytes) return answerAndClose(c, 413);
    if (framing.bytes > 0 && expectsContinue(*head))
        sendWithoutWaiting(c.socket.get(), statusLine(100) + "\r\n");
    c.request = std::move(*head);
    c.bodyExpected = framing.bytes;
    c.bodyReceived = std::min(framing.bytes, c.pending.size());
    c.request.body.assign(c.pending, 0, c.bodyReceived);
    c.pending.erase(0, c.bodyReceived);
    c.phase = Connection::Phase::body;
    c.deadline = Clock::now() + limits.headDeadline +
                 std::chrono::seconds(framing.bytes / limits.bodyBytesPerSecond);
}

void HttpServer::Impl::answerAndClose(Connection& connection, int status) {
    answerAndClose(connection, plainAnswer(status));
}

void HttpServer::Impl::answerAndClose(Connection& connection, const ServerResponse& response) {
    sendWithoutWaiting(connection.socket.get(),
                       responseHead(response, common, true) + response.body);
    lingerThenClose(connection);
}

void HttpServer::Impl::lingerThenClose(Connection& connection) {
    ::shutdown(connection.socket.get(), SHUT_WR);
    connection.phase = Connection::Phase::closing;
    connection.pending.clear();
    connection.deadline = Clock::now() + kLingerLimit;
}

void HttpServer::Impl::handOver(std::unique_ptr<Connection>& connection) {
    const int fd = connection->socket.get();
    ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, fd, nullptr);
    {
        std::lock_guard lock(mutex);
        jobs.push_back(std::move(connection));
    }
    jobsReady.notify_one();
}

void HttpServer::Impl::takeBackReturned() {
    std::vector<std::unique_ptr<Connection>> back;
    {
        std::lock_guard lock(mutex);
        back.swap(returned);
    }
    for (std::unique_ptr<Connection>& connection : back) {
        const int fd = connection->socket.get();
        // Nothing more is read while the answer goes out: a request the client sends behind
        // it waits in the socket.
        watch(fd, EPOLLOUT);
        // Most answers fit into the socket at once.
        sendMore(connection);
        if (connection) reading.emplace(fd, std::move(connection));
    }
}

void HttpServer::Impl::sendMore(std::unique_ptr<Connection>& connection) {
    bool moved = false;
    Outgoing::Progress progress = connection->outgoing.sendSome(connection->socket.get(), moved);
    if (progress == Outgoing::Progress::failed) return connection.reset();
    if (moved) connection->deadline = Clock::now() + limits.writeStall;
    if (progress == Outgoing::Progress::done) answerSent(connection);
}

void HttpServer::Impl::answerSent(std::unique_ptr<Connection>& connection) {
    Connection& c = *connection;
    const int fd = c.socket.get();
    const bool closeAfter = c.outgoing.closeAfter();
    c.outgoing = Outgoing();
    changeWatch(fd, EPOLLIN);
    if (closeAfter) return lingerThenClose(c);
    c.request = ServerRequest();
    c.bodyExpected = 0;
    c.bodyReceived = 0;
    c.phase = Connection::Phase::waiting;
    c.deadline = Clock::now() + limits.idleLimit;
    // A request the client sent right behind the last one is already here.
    advance(connection);
}

void HttpServer::Impl::endExpired() {
    const Clock::time_point now = Clock::now();
    std::erase_if(reading, [&](const auto& entry) { return entry.second->deadline <= now; });
    if (acceptPausedUntil && *acceptPausedUntil <= now) {
        acceptPausedUntil.reset();
        watch(listener.get(), EPOLLIN);
    }
}

}  // namespace platform
