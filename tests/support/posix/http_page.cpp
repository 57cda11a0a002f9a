#include "support/http_page.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

HttpPage httpGet(const std::string& url) {
    const std::string rest = url.substr(std::string("http://").size());
    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    const std::size_t colon = authority.rfind(':');
    httplib::Client client(authority.substr(0, colon), std::stoi(authority.substr(colon + 1)));
    client.set_read_timeout(10, 0);
    httplib::Result result = client.Get(rest.substr(slash));
    if (!result) return {};
    return {result->status, result->body, result->get_header_value("Location")};
}

struct SilentConnection::Socket {
    int fd = -1;
    bool connected = false;
};

SilentConnection::SilentConnection(int port) : socket_(std::make_unique<Socket>()) {
    socket_->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socket_->connected = socket_->fd >= 0 &&
                         ::connect(socket_->fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
}

SilentConnection::~SilentConnection() {
    if (socket_->fd >= 0) ::close(socket_->fd);
}

bool SilentConnection::connected() const {
    return socket_->connected;
}
