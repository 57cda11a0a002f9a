#include <optional>

#include "bridge/random_token.h"
#include "platform/folder_access.h"
#include "shell/embedded_content.h"
#include "shell/page_shim.h"
#include "shell/serve_host_impl.h"
#include "shell/serve_security.h"

// What the browser host answers: the page's files, its event stream, the two folders and the
// commands. Every request has passed screen() before it gets here.

using namespace serve_detail;

void ServeHost::Impl::installRoutes() {
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
    installDialogRoutes();
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("Internal error\n", "text/plain");
    });
}

void ServeHost::Impl::serveGet(const Request& req, Response& res) {
    RequestTarget target = splitTarget(req.target);
    if (target.path == kEventsPath) {
        if (!hasPageKey(req, true)) return refuse(res, 403);
        serveEvents(req, res);
    } else if (startsWith(target.path, kAssetsPrefix)) {
        serveFolder(assets, std::string_view(target.path).substr(kAssetsPrefix.size()), res);
    } else if (startsWith(target.path, kSpeciesPrefix)) {
        serveFolder(speciesFolder(), std::string_view(target.path).substr(kSpeciesPrefix.size()),
                    res);
    } else {
        serveEmbedded(req, res);
    }
}

void ServeHost::Impl::serveEvents(const Request& req, Response& res) {
    bool missed = false;
    PageChannel::StreamPtr stream = channel.connect(req.get_header_value("Last-Event-ID"), &missed);
    // A page whose stream broke (it fell too far behind, or lost its connection) reconnects by
    // itself but would go on showing what it had: init, which the page sends when it starts,
    // sends it everything afresh.
    if (missed) {
        {
            std::lock_guard lock(mutex);
            if (!stopping) commands.push_back(R"({"cmd":"init"})");
        }
        wake.notify_all();
    }
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
