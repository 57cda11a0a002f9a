#include "shell/serve_host.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

#include "bridge/dispatcher.h"
#include "bridge/files.h"
#include "bridge/random_token.h"
#include "platform/folder_access.h"
#include "shell/embedded_content.h"
#include "shell/host_session.h"
#include "shell/page_channel.h"
#include "shell/page_shim.h"
#include "shell/serve_security.h"
#include "studio/asset_helper.h"

namespace {

using httplib::Request;
using httplib::Response;
using Screened = httplib::Server::HandlerResponse;

// A browser keeps about six connections to a host, one of them for the event stream, and
// every idle kept-alive connection holds a worker; this leaves room for two tabs and tests.
constexpr std::size_t kWorkerThreads = 32;
// A painted texture travels as base64 inside one command.
constexpr std::size_t kMaxCommandBytes = std::size_t{256} << 20;
// A stream that has had nothing to say for this long writes a comment, which is also how a
// page that has gone away is noticed.
constexpr std::chrono::milliseconds kKeepAliveInterval{15000};
// At the end, how long the pages get to receive the last messages.
constexpr std::chrono::milliseconds kFinalFlushLimit{2000};

void refuse(Response& res, int status) {
    res.status = status;
    res.set_content(status == 404 ? "Not found\n" : "Forbidden\n", "text/plain");
}

bool isReading(const Request& req) {
    return req.method == "GET" || req.method == "HEAD";
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// SIGTERM and SIGINT end the host at once with success, as closing the window would; a
// studio job still running ends with the process.
void endOnSignal(int) {
    std::_Exit(0);
}

}  // namespace

struct ServeHost::Impl {
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
    void followRoot();
    std::string speciesFolder();

    int requestedPort;
    int port = 0;
    std::string token;
    std::string assets;
    App* app = nullptr;
    PageWindow window{*this};
    PageChannel channel;
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

bool ServeHost::Impl::start(App& theApp) {
    app = &theApp;
    followRoot();
    assets = assetsFolder();
    token = randomHex(16);
    // A page that goes away while we write to it must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_payload_max_length(kMaxCommandBytes);
    server.set_keep_alive_max_count(10000);
    // Plain address reuse only: with port sharing a second copy of the tool could bind the
    // same port and the kernel would split the page's requests between the two.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    server.set_default_headers({
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
    });
    server.set_pre_routing_handler([this](const Request& req, Response& res) {
        // Debian builds the HTTP library with brotli, which then compresses every script on
        // every request at its slowest setting: seconds for three.js, for a page that only
        // ever travels over loopback. Without the header the body goes out as it is. The
        // library hands out its own, non-const request object as const.
        const_cast<Request&>(req).headers.erase("Accept-Encoding");
        return screen(req, res);
    });
    server.Get(".*", [this](const Request& req, Response& res) { serveGet(req, res); });
    server.Post(std::string(kCommandPath),
                [this](const Request& req, Response& res) { acceptCommand(req, res); });
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("Internal error\n", "text/plain");
    });

    if (requestedPort == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else {
        port = server.bind_to_port("127.0.0.1", requestedPort) ? requestedPort : -1;
    }
    if (port <= 0) return false;
    listener = std::thread([this] {
        server.listen_after_bind();
        listenerEnded = true;
    });
    // stop() does nothing to a server that has not begun listening yet, which would leave
    // the listener waiting for ever; so start() returns only once it listens.
    while (!server.is_running() && !listenerEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The one writer: messages reach the pages in the order they were posted.
    writer = std::thread([this] {
        while (auto message = app->outbox.waitNext())
            channel.publish(*message);
    });
    std::lock_guard lock(mutex);
    started = true;
    return true;
}

void ServeHost::Impl::run() {
    while (true) {
        std::string message;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stopping || !commands.empty(); });
            if (stopping) break;
            message = std::move(commands.front());
            commands.pop_front();
        }
        dispatchCommand(*app, message);
        followRoot();
        if (closedByPage) break;
    }
    finish();
}

void ServeHost::Impl::stop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
}

void ServeHost::Impl::finish() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        if (finished || !started) {
            finished = true;
            return;
        }
        finished = true;
    }
    // What was posted before the end still reaches the pages, as far as they take it in time.
    app->outbox.close();
    writer.join();
    channel.close();
    channel.waitAllEnded(kFinalFlushLimit);
    server.stop();
    listener.join();
}

Screened ServeHost::Impl::screen(const Request& req, Response& res) {
    if (req.get_header_value_count("Host") != 1 ||
        !hostAllowed(req.get_header_value("Host"), port)) {
        refuse(res, 403);
        return Screened::Handled;
    }
    if (req.target.empty() || req.target.front() != '/') {
        refuse(res, 403);
        return Screened::Handled;
    }
    RequestTarget target = splitTarget(req.target);
    if (auto given = queryValue(target.query, "token")) {
        if (!isReading(req) || !tokensEqual(*given, token)) {
            refuse(res, 403);
            return Screened::Handled;
        }
        // The token leaves the address at once, so it is not kept in what the page shows or
        // passes on; the cookie carries it from now on. The address is absolute so that a
        // path such as //elsewhere cannot send the browser to another host.
        std::string rest = queryWithout(target.query, "token");
        res.status = 303;
        res.set_header("Location", "http://" + loopbackAuthority(port) + target.path +
                                       (rest.empty() ? "" : "?" + rest));
        res.set_header("Set-Cookie", tokenSetCookie(port, token));
        res.set_header("Cache-Control", "no-store");
        return Screened::Handled;
    }
    if (!hasTokenCookie(req)) {
        refuse(res, 403);
        return Screened::Handled;
    }
    if (!isReading(req)) {
        if (req.get_header_value_count("Origin") != 1 ||
            !originAllowed(req.get_header_value("Origin"), port) ||
            !isJsonContentType(req.get_header_value("Content-Type"))) {
            refuse(res, 403);
            return Screened::Handled;
        }
    }
    return Screened::Unhandled;
}

bool ServeHost::Impl::hasTokenCookie(const Request& req) const {
    const std::string name = tokenCookieName(port);
    std::size_t count = req.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < count; ++i) {
        auto value = cookieValue(req.get_header_value("Cookie", i), name);
        if (value && tokensEqual(*value, token)) return true;
    }
    return false;
}

void ServeHost::Impl::serveGet(const Request& req, Response& res) {
    RequestTarget target = splitTarget(req.target);
    if (target.path == kEventsPath) {
        serveEvents(res);
    } else if (startsWith(target.path, kAssetsPrefix)) {
        serveFolder(assets, std::string_view(target.path).substr(kAssetsPrefix.size()), res);
    } else if (startsWith(target.path, kSpeciesPrefix)) {
        serveFolder(speciesFolder(), std::string_view(target.path).substr(kSpeciesPrefix.size()),
                    res);
    } else {
        serveEmbedded(req, res);
    }
}

void ServeHost::Impl::serveEvents(Response& res) {
    PageChannel::StreamPtr stream = channel.connect();
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](std::size_t, httplib::DataSink& sink) {
            std::optional<std::string> text = channel.next(stream, kKeepAliveInterval);
            if (!text) {
                sink.done();
                return true;
            }
            if (text->empty()) *text = ": keep-alive\n\n";
            return sink.write(text->data(), text->size());
        },
        [this, stream](bool) { channel.disconnect(stream); });
}

void ServeHost::Impl::serveFolder(const std::string& folder, std::string_view rawTail,
                                  Response& res) {
    std::optional<std::string> relative =
        platform::confinedRelativePath("/" + std::string(rawTail));
    if (!relative) return refuse(res, 403);
    platform::Result<platform::FileHandle> file = platform::openInsideFolder(folder, *relative);
    // Missing, refused and outside all look the same from here: nothing to serve.
    if (!file) return refuse(res, 404);
    res.set_header("Cache-Control", "no-cache");
    res.set_header("Content-Security-Policy", std::string(kFolderFilePolicy));
    res.set_content(platform::readOpenFile(*file),
                    std::string(platform::folderFileType(*relative)));
}

void ServeHost::Impl::serveEmbedded(const Request& req, Response& res) {
    std::string path = uriPath(req.target);
    unsigned id = findRoute(path);
    std::string_view bytes = embeddedBytes(id);
    if (id == 0 || bytes.empty()) return refuse(res, 404);
    std::string mimeType(mimeTypeFor(path));
    // The same header lines as every other host gives the embedded files; Content-Type goes
    // with the body.
    const std::string headerLines = embeddedResponseHeaders(mimeType);
    std::string_view headers = headerLines;
    std::string contentType = mimeType;
    for (std::size_t end = headers.find("\r\n"); end != std::string_view::npos;
         end = headers.find("\r\n")) {
        std::string_view line = headers.substr(0, end);
        headers.remove_prefix(end + 2);
        std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos) continue;
        std::string name(line.substr(0, colon));
        std::string value(line.substr(colon + 2));
        if (name == "Content-Type") {
            contentType = value;
        } else {
            res.set_header(name, value);
        }
    }
    if (id == findRoute("/index.html")) {
        std::string nonce = randomHex(16);
        res.set_header("Content-Security-Policy", pageContentSecurityPolicy(nonce));
        res.set_content(injectPageShim(bytes, nonce), contentType);
    } else {
        res.set_content(bytes.data(), bytes.size(), contentType);
    }
}

void ServeHost::Impl::acceptCommand(const Request& req, Response& res) {
    {
        std::lock_guard lock(mutex);
        if (!stopping) commands.push_back(req.body);
    }
    wake.notify_all();
    // Answered once queued: the page sends its next command only after this answer, so the
    // queue holds them in the order the page made them.
    res.status = 204;
}

void ServeHost::Impl::followRoot() {
    std::lock_guard lock(rootMutex);
    serverRoot = app->serverRoot;
}

std::string ServeHost::Impl::speciesFolder() {
    std::lock_guard lock(rootMutex);
    return serverRoot.empty() ? std::string() : serverRoot + "/species";
}

ServeHost::ServeHost(int port) : impl_(std::make_unique<Impl>(port)) {}

ServeHost::~ServeHost() {
    impl_->finish();
}

platform::Window& ServeHost::window() {
    return impl_->window;
}

bool ServeHost::start(App& app) {
    return impl_->start(app);
}

int ServeHost::port() const {
    return impl_->port;
}

const std::string& ServeHost::token() const {
    return impl_->token;
}

std::string ServeHost::url() const {
    return "http://" + loopbackAuthority(impl_->port) + "/?token=" + impl_->token;
}

void ServeHost::run() {
    impl_->run();
}

void ServeHost::stop() {
    impl_->stop();
}

bool ServeHost::closedByPage() const {
    return impl_->closedByPage;
}

int runServeHost(const Options& options) {
    std::signal(SIGTERM, endOnSignal);
    std::signal(SIGINT, endOnSignal);
    HostSession session(options);
    ServeHost host(options.port);
    App& app = session.start(host.window());
    if (!host.start(app)) {
        std::cerr << "forgeset-server-tool: cannot listen on 127.0.0.1:" << options.port << "\n";
        return 1;
    }
    // Standard output carries this one line only, so a script can read the address.
    std::cout << host.url() << "\n";
    std::cout.flush();
    // The host delivers the messages itself, to every connected page; the run ends with
    // winClose.
    host.run();
    session.exit(0);
}
