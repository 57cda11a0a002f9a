#pragma once
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// How long one exchange may wait, in milliseconds.
struct HttpTimeouts {
    // Finding the host and opening the connection (TLS included) share one limit, the sum.
    std::uint32_t resolveMs = 10000;
    std::uint32_t connectMs = 15000;
    // Sending the request and receiving the answer each fail when not one byte moved for
    // this long; a slow but living upload of a large file may take as long as it needs.
    std::uint32_t sendMs = 600000;
    std::uint32_t receiveMs = 600000;
    // The whole exchange, however slowly bytes keep moving: `overallMs`, plus `msPerMiB` for
    // each MiB the request sends or may download (the download's cap). A peer that trickles
    // one byte a second is never silent for long, but cannot hold a worker for ever. 0 for
    // no limit.
    std::uint32_t overallMs = 120000;
    std::uint32_t msPerMiB = 4000;
};

// The step at which an exchange failed. The caller turns each into its own words.
enum class HttpFailure {
    badUrl,               // the URL cannot be split into scheme, host, port, path and query
    cannotOpen,           // the HTTP library could not be set up
    cannotReadUpload,     // the upload file cannot be opened, sized or read to its end
    cannotReach,          // no connection: name, connect, proxy or TLS handshake failed
    noAnswer,             // sending, receiving or the answer itself failed (time-outs too)
    cannotWriteDownload,  // the download file could not be created or written (a full disk)
    downloadTooLarge,     // the download went past its cap
    stopped,              // the caller asked the exchange to stop
};

// Called after each block of an upload file with the bytes sent so far and the total.
using HttpProgress = std::function<void(std::uint64_t sent, std::uint64_t total)>;

// The usual memory cap of an answer (HttpRequest::bodyCap). Service answers are small JSON;
// a flood cannot exhaust memory.
inline constexpr std::size_t httpBodyCap = 4 << 20;

struct HttpRequest {
    std::string method;
    // Absolute http or https URL. A user name in it is never sent, and no redirect is
    // followed, so the request's own headers (the bearer token) go to this host only.
    std::string url;
    // Complete header lines, each ending in CR LF; empty for none.
    std::string headers;
    // When set, the body is streamed from this file instead of `body`: the whole file, or
    // `uploadLength` bytes from `uploadOffset` when a length is given (one part of a large
    // archive, so no part is ever held in memory). A file shorter than the range fails, and so
    // does, on Windows, a body of 4 GiB or more (WinHTTP announces 32-bit lengths).
    std::string uploadFile;
    std::uint64_t uploadOffset = 0;
    std::optional<std::uint64_t> uploadLength;
    std::string_view body;
    // When set, the body of an answer with status 200 is written to this file (created or
    // replaced) instead of memory; any other answer stays in memory.
    std::string downloadFile;
    // When not 0, a download that would grow past this many bytes fails, whatever length the
    // answer announced or did not announce.
    std::uint64_t downloadCap = 0;
    // Asked about ten times a second while the exchange runs; true ends it.
    std::function<bool()> stop;
    // An answer kept in memory grows by whole blocks while it is shorter than this; the rest
    // is not read, and the answer counts as complete with what was received.
    std::size_t bodyCap = httpBodyCap;
    HttpProgress progress;
    HttpTimeouts timeouts;
};

struct HttpReply {
    std::uint32_t status = 0;
    std::string body;
};

// Upload files are read in blocks of this size, so a large file never sits in memory.
inline constexpr std::size_t httpUploadBlock = 1 << 20;
// Answers are received in blocks of at most this size.
inline constexpr std::size_t httpReceiveBlock = 64 << 10;

// One blocking exchange with its own connection: any status is a reply, only a failed
// exchange is a failure. HTTPS certificates are checked against the system's store; proxies
// come from the usual environment variables (on Windows the system's automatic proxy). Safe to
// call from several threads at once.
// A failed exchange leaves no download file behind; a download that could not be written
// whole is a failed exchange, never a complete answer.
std::expected<HttpReply, HttpFailure> httpExchange(const HttpRequest& request);

}  // namespace platform
