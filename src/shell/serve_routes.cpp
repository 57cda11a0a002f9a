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

ServeHost::Impl::Response ServeHost::Impl::route(Request& req) {
    Response res;
    if (isReading(req)) {
        serveGet(req, res);
    } else if (req.method == "POST") {
        servePost(req, res);
    } else {
        refuse(res, 405);
    }
    return res;
}

void ServeHost::Impl::servePost(const Request& req, Response& res) {
    const std::string path = splitTarget(req.target).path;
    if (path == kCommandPath) {
        acceptCommand(req, res);
    } else if (path == kDialogListPath) {
        listForDialog(req, res);
    } else if (path == kDialogAnswerPath) {
        answerDialog(req, res);
    } else {
        refuse(res, 404);
    }
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
    PageChannel::StreamPtr stream = channel.connect(req.header("Last-Event-ID"), &missed);
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
    res.setHeader("Cache-Control", "no-cache");
    res.setHeader("Content-Type", "text/event-stream");
    res.stream = [this, stream]() -> std::optional<std::string> {
        std::optional<std::string> text = channel.next(stream, kKeepAliveInterval);
        if (text && text->empty()) *text = ": keep-alive\n\n";
        return text;
    };
    res.streamEnded = [this, stream] { channel.disconnect(stream); };
}

void ServeHost::Impl::serveFolder(const std::string& folder, std::string_view rawTail,
                                  Response& res) {
    std::optional<std::string> relative =
        platform::confinedRelativePath("/" + std::string(rawTail));
    if (!relative) return refuse(res, 403);
    platform::Result<platform::FileHandle> file = platform::openInsideFolder(folder, *relative);
    // Missing, refused and outside all look the same from here: nothing to serve.
    if (!file) return refuse(res, 404);
    res.setHeader("Cache-Control", "no-cache");
    res.setHeader("Content-Security-Policy", std::string(kFolderFilePolicy));
    platform::Result<std::uint64_t> size = platform::openFileSize(*file);
    if (!size) return refuse(res, 404);
    res.setFileContent(std::move(*file), *size, platform::folderFileType(*relative));
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
            res.setHeader(name, value);
        }
    }
    if (id == findRoute("/index.html")) {
        std::string nonce = bridge::randomHex(16);
        res.setHeader("Content-Security-Policy", pageContentSecurityPolicy(nonce));
        res.setContent(injectPageShim(bytes, nonce), contentType);
    } else {
        res.setLastingContent(bytes, contentType);
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

// Read by the request threads while commands may change the root.
std::string ServeHost::Impl::speciesFolder() {
    const std::string root = app->serverRoot.current();
    return root.empty() ? std::string() : root + "/species";
}
