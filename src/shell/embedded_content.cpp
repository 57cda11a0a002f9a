#include "shell/embedded_content.h"

#include <span>

#include "platform/ascii.h"
#include "shell/embedded_files.h"

std::string uriPath(std::string_view uri) {
    std::string_view path = uri;
    std::size_t scheme = uri.find("://");
    if (uri.size() >= 3 && scheme != std::string_view::npos) {
        std::size_t slash = uri.find('/', scheme + 3);
        if (slash == std::string_view::npos) return "/index.html";
        path = uri.substr(slash);
    }
    path = path.substr(0, path.find_first_of("?#"));
    if (path.empty() || path == "/") return "/index.html";
    return std::string(path);
}

unsigned findRoute(std::string_view path) {
    for (const ResourceRoute& route : std::span(kResourceRoutes, kResourceRouteCount)) {
        if (platform::equalsIgnoringAsciiCase(route.path, path)) return route.id;
    }
    return 0;
}

std::string_view embeddedBytes(unsigned id) {
    for (std::size_t i = 0; i < kEmbeddedFileCount; ++i) {
        if (kEmbeddedFiles[i].id == id) return kEmbeddedFiles[i].bytes;
    }
    return {};
}

std::string_view mimeTypeFor(std::string_view path) {
    if (platform::endsWithIgnoringAsciiCase(path, ".html")) return "text/html";
    if (platform::endsWithIgnoringAsciiCase(path, ".css")) return "text/css";
    if (platform::endsWithIgnoringAsciiCase(path, ".js")) return "text/javascript";
    if (platform::endsWithIgnoringAsciiCase(path, ".png")) return "image/png";
    if (platform::endsWithIgnoringAsciiCase(path, ".svg")) return "image/svg+xml";
    return "application/octet-stream";
}

std::optional<EmbeddedResponse> serveEmbeddedResource(std::string_view uri) {
    const std::string path = uriPath(uri);
    const unsigned id = findRoute(path);
    if (id == 0) return std::nullopt;
    std::string_view bytes = embeddedBytes(id);
    if (bytes.empty()) return std::nullopt;
    return EmbeddedResponse{bytes, mimeTypeFor(path)};
}

std::string embeddedResponseHeaders(std::string_view mimeType) {
    return "Content-Type: " + std::string(mimeType) + "\r\nCache-Control: no-cache\r\n";
}
