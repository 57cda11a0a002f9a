#include "support/http_page.h"

#include <winsock2.h>

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace {

// Winsock counts its users; each socket of ours holds one use for its lifetime.
struct WinsockUse {
    WinsockUse() {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse() {
        if (started) WSACleanup();
    }
    bool started = false;
};

SOCKET connectTo(const std::string& host, int port) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, host.c_str(), &to.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

// The listener answers one request and closes, so the answer is read to the end of the
// connection: status line, headers, and the body after the blank line.
HttpPage httpGet(const std::string& url) {
    WinsockUse winsock;
    const std::string rest = url.substr(std::string("http://").size());
    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    const std::size_t colon = authority.rfind(':');
    SOCKET s = connectTo(authority.substr(0, colon), std::stoi(authority.substr(colon + 1)));
    if (s == INVALID_SOCKET) return {};
    DWORD limit = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    const std::string request = "GET " + rest.substr(slash) + " HTTP/1.1\r\nHost: " + authority +
                                "\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (::send(s, request.data(), static_cast<int>(request.size()), 0) ==
        static_cast<int>(request.size())) {
        char buffer[4096];
        for (int n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::closesocket(s);
    const std::size_t headEnd = answer.find("\r\n\r\n");
    if (!answer.starts_with("HTTP/1.") || headEnd == std::string::npos) return {};
    HttpPage page;
    page.status = std::stoi(answer.substr(answer.find(' ') + 1, 3));
    page.body = answer.substr(headEnd + 4);
    for (std::size_t at = answer.find("\r\n") + 2; at < headEnd;) {
        const std::size_t end = answer.find("\r\n", at);
        const std::string line = answer.substr(at, end - at);
        const std::size_t sep = line.find(':');
        if (sep != std::string::npos && lower(line.substr(0, sep)) == "location")
            page.location = line.substr(line.find_first_not_of(' ', sep + 1));
        at = end + 2;
    }
    return page;
}

struct SilentConnection::Socket {
    WinsockUse winsock;
    SOCKET socket = INVALID_SOCKET;
};

SilentConnection::SilentConnection(int port) : socket_(std::make_unique<Socket>()) {
    socket_->socket = connectTo("127.0.0.1", port);
}

SilentConnection::~SilentConnection() {
    if (socket_->socket != INVALID_SOCKET) ::closesocket(socket_->socket);
}

bool SilentConnection::connected() const {
    return socket_->socket != INVALID_SOCKET;
}
