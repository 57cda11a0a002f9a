#pragma once
#include <optional>
#include <string>
#include <string_view>

// A path of the page and the id of the embedded file that answers it.
struct ResourceRoute {
    std::string_view path;
    unsigned id;
};

// The route table, in registration order; generated with the embedded files by
// cmake/embed_files.cpp from what is in ui/.
extern const ResourceRoute kResourceRoutes[];
extern const std::size_t kResourceRouteCount;

// The path part of a request URI: after the host, cut at "?" or "#", "/index.html" when
// empty or "/". Nothing is decoded, folded or resolved.
std::string uriPath(std::string_view uri);

// The id of the first route whose path equals `path` without regard to ASCII case; 0 when
// none does.
unsigned findRoute(std::string_view path);

// The bytes of an embedded file; empty when there is none with this id.
std::string_view embeddedBytes(unsigned id);

// Content-Type chosen by the path's ending.
std::string_view mimeTypeFor(std::string_view path);

// What the page gets for one request: the body and its content type, with "no-cache".
struct EmbeddedResponse {
    std::string_view body;
    std::string_view mimeType;
};

// Answers a request URI from the embedded page, or nothing when its path is not a route.
std::optional<EmbeddedResponse> serveEmbeddedResource(std::string_view uri);

// The two header lines of every embedded response, each ended by CR LF.
std::string embeddedResponseHeaders(std::string_view mimeType);
