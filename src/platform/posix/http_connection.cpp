#include "platform/posix/http_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

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

bool writeAnswer(int socket, const ServerRequest& request, ServerResponse& response,
                 const std::vector<HttpHeader>& common, bool closeAfter,
                 std::chrono::milliseconds stall) {
    const std::string head = responseHead(response, common, closeAfter);
    const bool headOnly = request.method == "HEAD";
    if (!response.stream) {
        return sendAll(socket, {head, headOnly ? std::string_view() : response.body}, stall) &&
               !closeAfter;
    }
    bool whole = sendAll(socket, {head}, stall);
    while (whole && !headOnly) {
        std::optional<std::string> piece = response.stream();
        if (!piece) {
            whole = sendAll(socket, {kLastChunk}, stall);
            break;
        }
        // An empty chunk would read as the last one.
        if (!piece->empty())
            whole = sendAll(socket, {chunkSizeLine(piece->size()), *piece, kChunkEnd}, stall);
    }
    if (response.streamEnded) response.streamEnded();
    return whole && !closeAfter;
}

}  // namespace platform::http_detail
