#pragma once
// The browser host's insides, shared by the files that each hold one part of it: starting and
// stopping (serve_host.cpp), the checks every request passes (serve_screening.cpp) and the
// answers to the page's requests (serve_routes.cpp).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "bridge/app.h"
#include "bridge/random_token.h"
#include "platform/http_server.h"
#include "platform/window.h"
#include "shell/page_channel.h"
#include "shell/page_dialogs.h"
#include "shell/serve_host.h"

namespace serve_detail {

// A painted texture travels as base64 inside one command.
inline constexpr std::size_t kMaxCommandBytes = std::size_t{256} << 20;
// A stream that has had nothing to say for this long writes a comment, which is also how a
// page that has gone away is noticed.
inline constexpr std::chrono::milliseconds kKeepAliveInterval{15000};
// At the end, how long the pages get to receive the last messages.
inline constexpr std::chrono::milliseconds kFinalFlushLimit{2000};

void refuse(platform::ServerResponse& res, int status);
// A refusal as the screen's answer.
platform::ServerResponse refusal(int status);
bool isReading(const platform::ServerRequest& req);
bool startsWith(std::string_view text, std::string_view prefix);

}  // namespace serve_detail

struct ServeHost::Impl {
    using Request = platform::ServerRequest;
    using Response = platform::ServerResponse;

    // The page's window calls as a browser tab can answer them.
    class PageWindow : public platform::Window {
      public:
        explicit PageWindow(Impl& host) : host_(host) {}
        void minimize() override {}
        void toggleMaximize() override {}
        void startMove() override {}
        void close() override { host_.closedByPage = true; }
        void reloadForNewRoot() override { host_.channel.publishReload(); }

      private:
        Impl& host_;
    };

    explicit Impl(int askedPort) : requestedPort(askedPort) {}

    bool start(bridge::App& app);
    // Every request the screen let through, by method and path.
    Response route(Request& req);
    void run();
    void stop();
    void finish();

    // No answer for a request that may go on to route(); else the answer that ends it.
    platform::HttpServer::Screening screen(const Request& req);
    bool hasSessionCookie(const Request& req) const;
    // The token shown by the page: in its header, or for the event stream (`inQuery`), which
    // cannot set headers, as a query parameter.
    bool hasPageKey(const Request& req, bool inQuery) const;
    void serveGet(const Request& req, Response& res);
    void serveEvents(const Request& req, Response& res);
    void servePost(const Request& req, Response& res);
    void serveFolder(const std::string& folder, std::string_view rawTail, Response& res);
    void serveEmbedded(const Request& req, Response& res);
    void acceptCommand(const Request& req, Response& res);
    void listForDialog(const Request& req, Response& res);
    void answerDialog(const Request& req, Response& res);
    std::string speciesFolder();

    int requestedPort;
    // Set once listening; the reading thread screens with it from then on.
    std::atomic<int> port{0};
    // The address's token. The page keeps it from the address it was opened with and shows
    // it with every command and on its event stream: only a page opened with the address has
    // it.
    std::string token;
    // What the cookie carries, so the page's own files load. Browsers send a 127.0.0.1 cookie
    // to every port of that address, so any other local web service the owner visits learns
    // it; that is why it is not the token and opens nothing but the files.
    std::string sessionCookie = bridge::randomHex(16);
    std::string assets;
    bridge::App* app = nullptr;
    PageWindow window{*this};
    PageChannel channel;
    // Asked on the dispatching thread, where the server root may be read.
    PageDialogs dialogs{channel, [this] { return app ? app->serverRoot.path() : std::string(); }};
    std::unique_ptr<platform::HttpServer> server;
    std::thread writer;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> commands;
    bool stopping = false;
    bool started = false;
    bool finished = false;
    std::atomic<bool> closedByPage{false};
};
