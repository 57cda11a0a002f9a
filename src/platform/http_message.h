#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_handle.h"

// HTTP/1.1 requests as the browser host reads them and answers as it writes them, apart from
// the sockets so that the rules can be checked (and fuzzed) on their own. The reading is
// strict: anything a browser would not send is refused rather than guessed at, since every
// byte may come from another local user or a foreign page.
namespace platform {

struct HttpHeader {
    std::string name;
    std::string value;
};

struct ServerRequest {
    std::string method;
    std::string target;
    // 0 for HTTP/1.0, 1 for HTTP/1.1.
    int minorVersion = 1;
    std::vector<HttpHeader> headers;
    std::string body;

    // How many header lines carry this name (names compare without case).
    std::size_t headerCount(std::string_view name) const;
    // The value of the `index`-th line with this name; empty when there is none.
    std::string header(std::string_view name, std::size_t index = 0) const;
};

struct ServerResponse {
    int status = 200;
    std::vector<HttpHeader> headers;
    std::string body;
    // Instead of `body`: bytes that live as long as the program (the embedded files), sent
    // without a copy.
    std::string_view lastingBody;
    // Instead of `body`: `fileBytes` bytes of an open file from where it stands, read a piece
    // at a time as the peer takes them, so that a large file never sits in memory whole.
    FileHandle file;
    std::uint64_t fileBytes = 0;
    // A body that is written piece by piece as it comes (an event stream), in chunks: each
    // call returns the next piece, nothing when the body is complete. Called on the thread
    // that writes the answer, for as long as the answer lasts.
    std::function<std::optional<std::string>()> stream;
    // Called once when a streamed answer ends, whether it was completed or the peer went.
    std::function<void()> streamEnded;

    void setHeader(std::string name, std::string value);
    void setContent(std::string content, std::string_view contentType);
    void setLastingContent(std::string_view content, std::string_view contentType);
    void setFileContent(FileHandle content, std::uint64_t bytes, std::string_view contentType);
    // The length of the body, wherever it lies.
    std::uint64_t contentLength() const;
};

// Where the head of a request ends in `bytes` (just past its blank line), or nothing while
// the blank line has not come yet. A bare LF ends a line as CRLF does.
std::optional<std::size_t> headLength(std::string_view bytes);

// Where a request's head stands in the bytes received so far, held to a cap on its length.
struct HeadProgress {
    enum Kind {
        // Its blank line has not come yet, and it may still end within the cap.
        partial,
        // It ends within the cap, after `length` bytes (its blank line included).
        complete,
        // It is longer than the cap: it ends after it, or has not ended by the cap's last byte.
        tooLarge,
    };
    Kind kind = partial;
    std::size_t length = 0;
};
HeadProgress headProgress(std::string_view bytes, std::size_t maxBytes);

// The request line and header lines of a head that headLength found; nothing when it is not
// a well-formed HTTP/1.0 or 1.1 head: a bad request line, a line folded onto the one before,
// a header name that is not a token, a control character in a value, or too many lines.
std::optional<ServerRequest> parseHead(std::string_view head);

// How the body of a request is delimited.
struct BodyFraming {
    enum Kind {
        // No body, or Content-Length bytes of one.
        length,
        // Transfer-Encoding: browsers never chunk a request body, so it is not taken.
        unsupported,
        // A Content-Length that is no plain number, or two that disagree.
        invalid,
    };
    Kind kind = length;
    std::size_t bytes = 0;
};
BodyFraming bodyFraming(const ServerRequest& head);

// Whether the client will send another request on this connection after the answer.
bool keepsAlive(const ServerRequest& head);

// Whether the client waits for "100 Continue" before it sends the body.
bool expectsContinue(const ServerRequest& head);

// "HTTP/1.1 404 Not Found\r\n", with the reason for every status this host gives.
std::string statusLine(int status);

// The head of an answer: the status line, `common` headers, the answer's own, how its body is
// delimited (Content-Length of the body, or chunked for a stream) and Connection: close when
// the connection ends after it, then the blank line.
std::string responseHead(const ServerResponse& response, const std::vector<HttpHeader>& common,
                         bool closeAfter);

// One piece of a streamed body as an HTTP chunk's frame: the size line before it and the line
// end after it; the last chunk (size 0) ends the body.
std::string chunkSizeLine(std::size_t size);
inline constexpr std::string_view kChunkEnd = "\r\n";
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

}  // namespace platform
