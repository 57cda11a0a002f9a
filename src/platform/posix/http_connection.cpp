#include "platform/posix/http_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform::http_detail {

bool sendAll(int socket, std::vector<std::string_view> parts, std::chrono::milliseconds stall) {
    std::erase_if(parts, [](std::string_view part) { return part.empty(); });
    std::size_t first = 0;
    while (first < parts.size()) {
        // One call for the pieces together, so a chunk's frame and its text leave as one
        // write without being copied into one buffer first.
        iovec pieces[8];
        std::size_t count = std::min<std::size_t>(parts.size() - first, 8);
        for (std::size_t i = 0; i < count; ++i)
            pieces[i] = {const_cast<char*>(parts[first + i].data()), parts[first + i].size()};
        msghdr message{};
        message.msg_iov = pieces;
        message.msg_iovlen = count;
        ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            pollfd room{socket, POLLOUT, 0};
            int ready;
            while ((ready = ::poll(&room, 1, static_cast<int>(stall.count()))) < 0 &&
                   errno == EINTR) {
            }
            if (ready <= 0 || (room.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
            continue;
        }
        auto left = static_cast<std::size_t>(sent);
        while (first < parts.size() && left >= parts[first].size())
            left -= parts[first++].size();
        if (left > 0) parts[first].remove_prefix(left);
    }
    return true;
}

void sendWithoutWaiting(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void writeStream(int socket, const ServerRequest& request, ServerResponse& response,
                 const std::vector<HttpHeader>& common, std::chrono::milliseconds stall) {
    bool whole = sendAll(socket, {responseHead(response, common, true)}, stall);
    while (whole && request.method != "HEAD") {
        std::optional<std::string> piece = response.stream();
        if (!piece) {
            sendAll(socket, {kLastChunk}, stall);
            break;
        }
        // An empty chunk would read as the last one.
        if (!piece->empty())
            whole = sendAll(socket, {chunkSizeLine(piece->size()), *piece, kChunkEnd}, stall);
    }
    if (response.streamEnded) response.streamEnded();
}

// A file goes out in pieces of this size: enough for few system calls, little enough that a
// hundred slow readers hold a few megabytes.
constexpr std::size_t kFilePiece = 64 << 10;

Outgoing::Outgoing(const ServerRequest& request, ServerResponse& response,
                   const std::vector<HttpHeader>& common, bool closeAfter)
    : head_(responseHead(response, common, closeAfter)), closeAfter_(closeAfter) {
    if (request.method == "HEAD") return;
    if (response.file) {
        file_ = std::move(response.file);
        fileLeft_ = response.fileBytes;
    } else if (!response.lastingBody.empty()) {
        lasting_ = response.lastingBody;
    } else {
        body_ = std::move(response.body);
    }
}

bool Outgoing::readPiece() {
    piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(fileLeft_, kFilePiece)));
    std::size_t got = 0;
    while (got < piece_.size()) {
        ssize_t n = ::read(file_.get(), piece_.data() + got, piece_.size() - got);
        if (n < 0 && errno == EINTR) continue;
        // A file that shrank since its length went out cannot complete the answer.
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    fileLeft_ -= got;
    pieceSent_ = 0;
    return true;
}

Outgoing::Progress Outgoing::sendSome(int socket, bool& moved) {
    moved = false;
    while (true) {
        const std::string_view body = lasting_.empty() ? std::string_view(body_) : lasting_;
        // The head and what is left of the body in one call, or else the file's next piece.
        std::string_view parts[2] = {std::string_view(head_).substr(headSent_),
                                     body.substr(bodySent_)};
        std::size_t* offsets[2] = {&headSent_, &bodySent_};
        if (parts[0].empty() && parts[1].empty()) {
            if (pieceSent_ == piece_.size() && fileLeft_ > 0 && !readPiece())
                return Progress::failed;
            if (pieceSent_ == piece_.size()) return Progress::done;
            parts[0] = std::string_view(piece_).substr(pieceSent_);
            offsets[0] = &pieceSent_;
        }
        iovec pieces[2];
        std::size_t count = 0;
        for (std::string_view part : parts)
            pieces[count++] = {const_cast<char*>(part.data()), part.size()};
        msghdr message{};
        message.msg_iov = pieces;
        message.msg_iovlen = count;
        ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Progress::waiting;
            return Progress::failed;
        }
        moved = moved || sent > 0;
        auto left = static_cast<std::size_t>(sent);
        for (std::size_t i = 0; i < 2 && left > 0; ++i) {
            std::size_t taken = std::min(left, parts[i].size());
            *offsets[i] += taken;
            left -= taken;
        }
    }
}

}  // namespace platform::http_detail
