#include "shell/serve_host.h"

#include <cstdlib>
#include <iostream>

#include "bridge/dispatcher.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "bridge/random_token.h"
#include "platform/shell.h"
#include "shell/host_session.h"
#include "shell/serve_host_impl.h"
#include "shell/serve_security.h"
#include "studio/asset_helper.h"

using namespace serve_detail;

bool ServeHost::Impl::start(bridge::App& theApp) {
    app = &theApp;
    // The sign-in page must reach the browser that shows this page, also on a machine where
    // no desktop browser can be started: the page shows the address as a link to click.
    app->openExternal = [target = app](const std::string& url) {
        platform::shellOpen(url);
        std::string json = R"({"type":"openUrl","url":)";
        bridge::appendJsonString(json, url);
        bridge::postToUi(*target, json + "}");
    };
    assets = studio::assetsFolder();
    token = bridge::randomHex(16);
    platform::HttpServerLimits limits;
    limits.maxBodyBytes = kMaxCommandBytes;
    std::vector<platform::HttpHeader> everyAnswer = {
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
    };
    server = std::make_unique<platform::HttpServer>(
        [this](const Request& req) { return screen(req); },
        [this](Request& req) { return route(req); }, limits, std::move(everyAnswer));
    platform::Result<int> listening = server->start(requestedPort);
    if (!listening) return false;
    port = *listening;
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
        bridge::dispatchCommand(*app, message);
        if (closedByPage) break;
    }
    finish();
}

void ServeHost::Impl::stop() {
    // A command waiting for the page's dialog must not keep run() from seeing the stop.
    dialogs.shutDown();
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
    server->stop();
}

ServeHost::ServeHost(int port) : impl_(std::make_unique<Impl>(port)) {}

ServeHost::~ServeHost() {
    impl_->finish();
}

platform::Window& ServeHost::window() {
    return impl_->window;
}

platform::Dialogs& ServeHost::dialogs() {
    return impl_->dialogs;
}

bool ServeHost::start(bridge::App& app) {
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
    HostSession::exitOnTerminateSignals();
    HostSession session(options);
    ServeHost host(options.port);
    bridge::App& app = session.start(host.window(), &host.dialogs());
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
