#pragma once
// The browser host's insides, shared by the files that each hold one part of it: starting and
// stopping (serve_host.cpp), the checks every request passes (serve_screening.cpp) and the
// answers to the page's requests (serve_routes.cpp).
#include <httplib.h>

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
#include "platform/window.h"
#include "shell/page_channel.h"
#include "shell/page_dialogs.h"
#include "shell/serve_host.h"

namespace serve_detail {

using httplib::Request;
using httplib::Response;
using Screened = httplib::Server::HandlerResponse;

// A browser keeps about six connections to a host, one of them for the event stream, and
// every idle kept-alive connection holds a worker; this leaves room for two tabs and tests.
inline constexpr std::size_t kWorkerThreads = 32;
// A painted texture travels as base64 inside one command.
inline constexpr std::size_t kMaxCommandBytes = std::size_t{256} << 20;
// A stream that has had nothing to say for this long writes a comment, which is also how a
// page that has gone away is noticed.
inline constexpr std::chrono::milliseconds kKeepAliveInterval{15000};
// At the end, how long the pages get to receive the last messages.
inline constexpr std::chrono::milliseconds kFinalFlushLimit{2000};

void refuse(Response& res, int status);
bool isReading(const Request& req);
bool startsWith(std::string_view text, std::string_view prefix);

}  // namespace serve_detail

struct ServeHost::Impl {
    using Request = serve_detail::Request;
    using Response = serve_detail::Response;
    using Screened = serve_detail::Screened;

    // The page's window calls as a browser tab can answer them.
    class PageWindow : public platform::Window {
      public:
        explicit PageWindow(Impl& host) : host_(host) {}
        void minimize() override {}
        void toggleMaximize() override {}
        void startMove() override {}
        void close() override { host_.closedByPage = true; }
        void reloadForNewRoot() override {
            host_.followRoot();
            host_.channel.publishReload();
        }

      private:
        Impl& host_;
    };

    explicit Impl(int askedPort) : requestedPort(askedPort) {}

    bool start(App& app);
    void installRoutes();
    void installDialogRoutes();
    void run();
    void stop();
    void finish();

    Screened screen(const Request& req, Response& res);
    bool hasTokenCookie(const Request& req) const;
    void serveGet(const Request& req, Response& res);
    void serveEvents(Response& res);
    void serveFolder(const std::string& folder, std::string_view rawTail, Response& res);
    void serveEmbedded(const Request& req, Response& res);
    void acceptCommand(const Request& req, Response& res);
    void listForDialog(const Request& req, Response& res);
    void answerDialog(const Request& req, Response& res);
    void followRoot();
    std::string speciesFolder();

    int requestedPort;
    int port = 0;
    std::string token;
    std::string assets;
    App* app = nullptr;
    PageWindow window{*this};
    PageChannel channel;
    // Asked on the dispatching thread, where the server root may be read.
    PageDialogs dialogs{channel, [this] { return app ? app->serverRoot : std::string(); }};
    httplib::Server server;
    std::thread listener;
    std::thread writer;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> commands;
    bool stopping = false;
    bool started = false;
    bool finished = false;
    std::atomic<bool> closedByPage{false};
    std::atomic<bool> listenerEnded{false};

    // A copy of the server root for the request threads: the root itself is written by the
    // commands on the dispatching thread and must not be read elsewhere meanwhile.
    std::mutex rootMutex;
    std::string serverRoot;
};
