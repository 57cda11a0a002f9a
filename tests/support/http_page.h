#pragma once
// A browser's side of a loopback HTTP exchange, for the tests of the sign-in listener.
#include <memory>
#include <string>

struct HttpPage {
    int status = 0;  // 0 when no answer came
    std::string body;
    std::string location;
};

// One GET of an http://host:port/target address, redirects not followed.
HttpPage httpGet(const std::string& url);

// A connection to 127.0.0.1:port that sends nothing, as a browser's spare one does; closed
// with the object.
class SilentConnection {
  public:
    explicit SilentConnection(int port);
    ~SilentConnection();
    bool connected() const;

    struct Socket;

  private:
    std::unique_ptr<Socket> socket_;
};
