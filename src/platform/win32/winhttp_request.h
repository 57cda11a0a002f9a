#pragma once
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/http.h"
#include "platform/http_url.h"
#include "platform/http_watch.h"

namespace platform::win32 {

struct PendingOperation;

// One WinHTTP request, driven asynchronously so that the caller's thread can give up on it:
// each step starts an operation and waits for it in slices of at most 100 ms, between which
// it asks the stop callback and the watch. A blocking WinHTTP call cannot be ended from
// outside at all (closing its handle does not end it under Wine), nor can, under Wine, a
// pending asynchronous one; so an operation given up on is left to end on its own (its
// time-outs are set), while whatever it still uses lives on until WinHTTP says that the
// handle is gone.
class WinHttpRequest {
  public:
    enum class Outcome { done, failed, waitedTooLong, pastDeadline, stopped };

    // Opens the session, the connection and the request. Fails with cannotOpen when WinHTTP
    // cannot be set up and with cannotReach when the connection or request cannot be opened.
    static std::expected<std::unique_ptr<WinHttpRequest>, HttpFailure> open(
        const UrlParts& url, const std::string& method, const HttpTimeouts& timeouts,
        HttpWatch& watch, const std::function<bool()>& stop);
    ~WinHttpRequest();
    WinHttpRequest(const WinHttpRequest&) = delete;
    WinHttpRequest& operator=(const WinHttpRequest&) = delete;

    // Connects and sends the header lines; the body, `total` bytes, follows with write.
    Outcome send(const std::string& headers, std::uint32_t total);
    // Sends the bytes, in pieces, each one a move for the watch.
    Outcome write(std::string_view bytes);
    // Waits for the answer's status line and headers.
    Outcome receive();
    // The answer's status, and its Content-Length when it has one.
    std::uint32_t status();
    std::optional<std::uint64_t> contentLength();
    // The next bytes of the answer's body, at most `limit`; none at its end.
    Outcome read(std::string& bytes, std::size_t limit);

  private:
    WinHttpRequest() = default;
    Outcome await(HttpWatch::Step step);

    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    std::shared_ptr<PendingOperation> pending_;
    HttpWatch* watch_ = nullptr;
    const std::function<bool()>* stop_ = nullptr;
};

}  // namespace platform::win32
