#include "wire.h"

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr std::size_t maxHeaderBytes = 64 << 10;

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendText(int fd, const std::string& text) {
    return sendAll(fd, text.data(), text.size());
}

std::string reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 409:
            return "Conflict";
        case 413:
            return "Payload Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string statusLine(int status) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
}

void parseHead(const std::string& head, WireRequest& request) {
    std::size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    std::size_t s1 = line.find(' ');
    std::size_t s2 = line.rfind(' ');
    request.method = line.substr(0, s1);
    if (s1 != std::string::npos && s2 > s1) request.target = line.substr(s1 + 1, s2 - s1 - 1);
    std::size_t q = request.target.find('?');
    request.path = request.target.substr(0, q);
    if (q != std::string::npos) request.query = request.target.substr(q + 1);
    for (std::size_t at = lineEnd; at != std::string::npos && at + 2 < head.size();) {
        std::size_t next = head.find("\r\n", at + 2);
        std::string field = head.substr(at + 2, next - at - 2);
        at = next;
        std::size_t colon = field.find(':');
        if (colon == std::string::npos) continue;
        std::size_t v = field.find_first_not_of(" \t", colon + 1);
        request.headers.emplace_back(field.substr(0, colon),
                                     v == std::string::npos ? "" : field.substr(v));
    }
}

}  // namespace

std::string WireRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    }
    return {};
}

bool readRequest(int fd, WireRequest& request, KeepLimit keepLimit) {
    std::string data;
    char buffer[64 << 10];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > maxHeaderBytes) return false;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    parseHead(data.substr(0, headEnd), request);
    if (request.method.empty() || request.target.empty()) return false;
    std::uint64_t length = std::strtoull(request.header("Content-Length").c_str(), nullptr, 10);
    if (strcasecmp(request.header("Expect").c_str(), "100-continue") == 0) {
        sendText(fd, "HTTP/1.1 100 Continue\r\n\r\n");
    }
    std::string_view early = std::string_view(data).substr(headEnd + 4);
    std::uint64_t keep = keepLimit(request);
    auto take = [&](std::string_view bytes) {
        std::uint64_t room = keep > request.body.size() ? keep - request.body.size() : 0;
        request.body.append(
            bytes.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(room, bytes.size()))));
        request.bodySize += bytes.size();
    };
    take(early.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(length, early.size()))));
    while (request.bodySize < length) {
        std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(sizeof buffer, length - request.bodySize));
        ssize_t n = ::recv(fd, buffer, want, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        take(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    return true;
}

void sendAnswer(int fd, const WireAnswer& answer) {
    std::string head = statusLine(answer.status);
    if (!answer.contentType.empty()) head += "Content-Type: " + answer.contentType + "\r\n";
    for (const auto& [name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (sendText(fd, head)) sendText(fd, answer.body);
}

void waitForPeerClose(int fd) {
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0 && errno != EINTR) return;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return;
    }
}

namespace {

// Sends `count` filler bytes in large pieces; stops quietly when the client gives up.
void sendFiller(int fd, std::uint64_t count) {
    std::string piece(1 << 20, 'x');
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), count));
        if (!sendAll(fd, piece.data(), n)) return;
        count -= n;
    }
}

std::string announced(int status, std::uint64_t bytes) {
    return statusLine(status) +
           "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(bytes) +
           "\r\nConnection: close\r\n\r\n";
}

}  // namespace

bool sendBroken(int fd, const std::string& action, int status, std::uint64_t bytes) {
    if (action == "hang") {
        waitForPeerClose(fd);
    } else if (action == "close") {
        // Nothing at all: the caller closes the socket.
    } else if (action == "cut" || action == "stall") {
        if (sendText(fd, announced(status, bytes))) sendFiller(fd, bytes / 2);
        if (action == "stall") waitForPeerClose(fd);
    } else if (action == "statusOnly") {
        sendText(fd, statusLine(status) + "\r\n");
    } else if (action == "garbage") {
        sendText(fd, std::string("\x16\x03\x01\xff garbage, not HTTP at all\r\n\r\n\0\x01", 36));
    } else if (action == "flood") {
        if (sendText(fd, announced(status, bytes))) sendFiller(fd, bytes);
    } else if (action == "trickle") {
        if (!sendText(fd, announced(status, bytes))) return true;
        for (std::uint64_t sent = 0; sent < bytes && sendAll(fd, "x", 1); ++sent)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else {
        return false;
    }
    return true;
}
