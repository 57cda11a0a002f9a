#include <algorithm>

#include "platform/http_server_impl.h"

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

std::chrono::milliseconds millisecondsUntil(Clock::time_point when) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return std::chrono::milliseconds(std::clamp<long long>(left, 0, 60000));
}

}  // namespace

using Interest = net::SocketWaiter::Interest;

void HttpServer::Impl::loop() {
    while (true) {
        const Clock::time_point next = nearestDeadline();
        std::optional<std::chrono::milliseconds> limit;
        if (next != Clock::time_point::max()) limit = millisecondsUntil(next);
        const net::SocketWaiter::Ready ready = waiter->wait(limit);
        {
            std::lock_guard lock(mutex);
            if (stopping) break;
        }
        if (ready.woken) takeBackReturned();
        for (const net::SocketId socket : ready.sockets) {
            if (socket == listener.get()) {
                acceptAll();
            } else if (auto it = reading.find(socket); it != reading.end()) {
                if (it->second->phase == Connection::Phase::sending) {
                    sendMore(it->second);
                } else {
                    receive(*it->second);
                    advance(it->second);
                }
                // Gone: closed here, which forgot it first, or handed to a worker, which now
                // owns the socket and may have closed it already, so the number is not used.
                if (!it->second) reading.erase(it);
            }
        }
        endExpired();
    }
}

void HttpServer::Impl::drop(
    std::unordered_map<net::SocketId, std::unique_ptr<Connection>>::iterator it) {
    waiter->forget(it->first);
    reading.erase(it);
}

Clock::time_point HttpServer::Impl::nearestDeadline() const {
    Clock::time_point nearest = acceptPausedUntil.value_or(Clock::time_point::max());
    for (const auto& [socket, connection] : reading)
        nearest = std::min(nearest, connection->deadline);
    return nearest;
}

void HttpServer::Impl::acceptAll() {
    while (true) {
        SocketHandle socket;
        const net::Accepted outcome = net::acceptOne(listener, socket);
        if (outcome == net::Accepted::none) return;
        if (outcome == net::Accepted::outOfHandles) {
            // Out of handles: a connection that proved nothing makes room, else one that is
            // not trusted, or the listener rests a moment.
            if (closeOldest(false) || closeOldest(true)) continue;
            waiter->forget(listener.get());
            acceptPausedUntil = Clock::now() + kAcceptPause;
            return;
        }
        std::size_t unproven = 0;
        for (const auto& [other, connection] : reading)
            unproven += connection->proven ? 0 : 1;
        if (unproven >= limits.maxUnproven) closeOldest(false);
        const net::SocketId id = socket.get();
        auto connection = std::make_unique<Connection>();
        connection->socket = std::move(socket);
        connection->serial = accepted++;
        connection->deadline = Clock::now() + limits.headDeadline;
        waiter->watch(id, Interest::read);
        reading.emplace(id, std::move(connection));
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
    drop(oldest);
    return true;
}

void HttpServer::Impl::capUntrusted(const Connection& keep) {
    std::size_t untrusted = 0;
    for (const auto& [socket, connection] : reading)
        untrusted += connection->proven && !connection->trusted ? 1 : 0;
    // `keep` may not be among them yet: it is on its way back from a worker.
    if (!reading.contains(keep.socket.get())) ++untrusted;
    if (untrusted > limits.maxUntrusted) closeOldest(true, &keep);
}

void HttpServer::Impl::receive(Connection& connection) {
    const net::SocketId socket = connection.socket.get();
    net::Transfer got;
    if (connection.phase == Connection::Phase::body) {
        std::string& body = connection.request.body;
        const std::size_t want =
            std::min(connection.bodyExpected - connection.bodyReceived, kBodyStep);
        body.resize(connection.bodyReceived + want);
        got = net::receiveSome(socket, body.data() + connection.bodyReceived, want);
        if (got.status == net::Transfer::Status::moved) connection.bodyReceived += got.bytes;
        body.resize(connection.bodyReceived);
    } else {
        char buffer[16384];
        got = net::receiveSome(socket, buffer, sizeof buffer);
        // Once the answer is out, what still comes is of no interest.
        if (got.status == net::Transfer::Status::moved &&
            connection.phase != Connection::Phase::closing)
            connection.pending.append(buffer, got.bytes);
    }
    if (got.status == net::Transfer::Status::ended || got.status == net::Transfer::Status::failed) {
        waiter->forget(socket);
        connection.socket = SocketHandle();
    }
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
    const HeadProgress progress = headProgress(c.pending, limits.maxHeadBytes);
    if (progress.kind == HeadProgress::partial) return;
    if (progress.kind == HeadProgress::tooLarge) return answerAndClose(c, 431);
    std::optional<ServerRequest> head =
        parseHead(std::string_view(c.pending).substr(0, progress.length));
    c.pending.erase(0, progress.length);
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
    net::shutdownSending(connection.socket.get());
    connection.phase = Connection::Phase::closing;
    connection.pending.clear();
    connection.deadline = Clock::now() + kLingerLimit;
}

void HttpServer::Impl::handOver(std::unique_ptr<Connection>& connection) {
    waiter->forget(connection->socket.get());
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
        const net::SocketId socket = connection->socket.get();
        // Nothing more is read while the answer goes out: a request the client sends behind
        // it waits in the socket.
        waiter->watch(socket, Interest::write);
        // Most answers fit into the socket at once.
        // Gone afterwards when it failed (forgotten then) or when a request right behind the
        // answer went to a worker, which owns the socket now.
        sendMore(connection);
        if (connection) reading.emplace(socket, std::move(connection));
    }
}

void HttpServer::Impl::sendMore(std::unique_ptr<Connection>& connection) {
    bool moved = false;
    Outgoing::Progress progress = connection->outgoing.sendSome(connection->socket.get(), moved);
    if (progress == Outgoing::Progress::failed) {
        waiter->forget(connection->socket.get());
        return connection.reset();
    }
    if (moved) connection->deadline = Clock::now() + limits.writeStall;
    if (progress == Outgoing::Progress::done) answerSent(connection);
}

void HttpServer::Impl::answerSent(std::unique_ptr<Connection>& connection) {
    Connection& c = *connection;
    const bool closeAfter = c.outgoing.closeAfter();
    c.outgoing = Outgoing();
    waiter->watch(c.socket.get(), Interest::read);
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
    std::erase_if(reading, [&](const auto& entry) {
        const bool expired = entry.second->deadline <= now;
        if (expired) waiter->forget(entry.first);
        return expired;
    });
    if (acceptPausedUntil && *acceptPausedUntil <= now) {
        acceptPausedUntil.reset();
        waiter->watch(listener.get(), Interest::read);
    }
}

}  // namespace platform
