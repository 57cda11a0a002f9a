#include "platform/http_message.h"

#include <charconv>

#include "platform/ascii.h"

namespace platform {
namespace {

// Browsers send a few dozen lines; a head with more is not one of theirs.
constexpr std::size_t kMaxHeaderLines = 100;

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!isTokenChar(c)) return false;
    return true;
}

// The next line of `text` without its end (CRLF or LF); `text` moves past it.
std::string_view takeLine(std::string_view& text) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool parseRequestLine(std::string_view line, ServerRequest& request) {
    std::size_t first = line.find(' ');
    std::size_t second = line.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return false;
    std::string_view method = line.substr(0, first);
    std::string_view target = line.substr(first + 1, second - first - 1);
    std::string_view version = line.substr(second + 1);
    if (!isToken(method) || target.empty()) return false;
    for (char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return false;
    }
    if (version == "HTTP/1.1") {
        request.minorVersion = 1;
    } else if (version == "HTTP/1.0") {
        request.minorVersion = 0;
    } else {
        return false;
    }
    request.method = method;
    request.target = target;
    return true;
}

// Whether a comma-separated header (Connection, Expect) lists `token`.
bool listsToken(const ServerRequest& request, std::string_view name, std::string_view token) {
    for (std::size_t i = 0; i < request.headerCount(name); ++i) {
        std::string value = request.header(name, i);
        std::string_view rest = value;
        while (!rest.empty()) {
            std::size_t comma = rest.find(',');
            if (equalsIgnoringAsciiCase(trimBlanks(rest.substr(0, comma)), token)) return true;
            rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        }
    }
    return false;
}

std::string_view reasonPhrase(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 303:
            return "See Other";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Content Too Large";
        case 422:
            return "Unprocessable Content";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

}  // namespace

std::size_t ServerRequest::headerCount(std::string_view name) const {
    std::size_t count = 0;
    for (const HttpHeader& header : headers)
        count += equalsIgnoringAsciiCase(header.name, name) ? 1 : 0;
    return count;
}

std::string ServerRequest::header(std::string_view name, std::size_t index) const {
    for (const HttpHeader& header : headers) {
        if (!equalsIgnoringAsciiCase(header.name, name)) continue;
        if (index == 0) return header.value;
        --index;
    }
    return {};
}

void ServerResponse::setHeader(std::string name, std::string value) {
    headers.push_back({std::move(name), std::move(value)});
}

void ServerResponse::setContent(std::string content, std::string_view contentType) {
    body = std::move(content);
    setHeader("Content-Type", std::string(contentType));
}

void ServerResponse::setLastingContent(std::string_view content, std::string_view contentType) {
    lastingBody = content;
    setHeader("Content-Type", std::string(contentType));
}

void ServerResponse::setFileContent(FileHandle content, std::uint64_t bytes,
                                    std::string_view contentType) {
    file = std::move(content);
    fileBytes = bytes;
    setHeader("Content-Type", std::string(contentType));
}

std::uint64_t ServerResponse::contentLength() const {
    return body.size() + lastingBody.size() + fileBytes;
}

std::optional<std::size_t> headLength(std::string_view bytes) {
    // A blank line is a line feed right after another one, a carriage return between them
    // allowed. Blank lines before the request line are skipped by the parser, never here:
    // browsers do not send them, so they make a bad request.
    for (std::size_t at = bytes.find('\n'); at != std::string_view::npos;
         at = bytes.find('\n', at + 1)) {
        std::size_t next = at + 1;
        if (next < bytes.size() && bytes[next] == '\r') ++next;
        if (next < bytes.size() && bytes[next] == '\n') return next + 1;
    }
    return std::nullopt;
}

HeadProgress headProgress(std::string_view bytes, std::size_t maxBytes) {
    // A head that has not ended within the cap's bytes is longer than the cap, wherever it
    // ends, so no byte past the cap needs to be looked at or waited for.
    std::optional<std::size_t> length = headLength(bytes.substr(0, maxBytes));
    if (length) return {HeadProgress::complete, *length};
    return {bytes.size() >= maxBytes ? HeadProgress::tooLarge : HeadProgress::partial, 0};
}

std::optional<ServerRequest> parseHead(std::string_view head) {
    ServerRequest request;
    if (!parseRequestLine(takeLine(head), request)) return std::nullopt;
    while (!head.empty()) {
        std::string_view line = takeLine(head);
        if (line.empty()) break;
        // A line that starts with a blank would continue the one before: an old form no
        // browser sends, and a way to hide a header from one reader but not another.
        if (line.front() == ' ' || line.front() == '\t') return std::nullopt;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) return std::nullopt;
        std::string_view value = trimBlanks(line.substr(colon + 1));
        if (hasControlCharacter(value)) return std::nullopt;
        if (request.headers.size() == kMaxHeaderLines) return std::nullopt;
        request.headers.push_back({std::string(line.substr(0, colon)), std::string(value)});
    }
    return request;
}

BodyFraming bodyFraming(const ServerRequest& head) {
    if (head.headerCount("Transfer-Encoding") > 0) return {BodyFraming::unsupported, 0};
    BodyFraming framing;
    for (std::size_t i = 0; i < head.headerCount("Content-Length"); ++i) {
        const std::string value = head.header("Content-Length", i);
        std::size_t bytes = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), bytes);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
            (i > 0 && bytes != framing.bytes))
            return {BodyFraming::invalid, 0};
        framing.bytes = bytes;
    }
    return framing;
}

bool keepsAlive(const ServerRequest& head) {
    if (head.minorVersion == 0) return listsToken(head, "Connection", "keep-alive");
    return !listsToken(head, "Connection", "close");
}

bool expectsContinue(const ServerRequest& head) {
    return listsToken(head, "Expect", "100-continue");
}

std::string statusLine(int status) {
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reasonPhrase(status)) + "\r\n";
}

std::string responseHead(const ServerResponse& response, const std::vector<HttpHeader>& common,
                         bool closeAfter) {
    std::string head = statusLine(response.status);
    for (const auto* list : {&common, &response.headers})
        for (const HttpHeader& header : *list)
            head += header.name + ": " + header.value + "\r\n";
    if (response.stream) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (response.status != 204 && response.status != 100) {
        head += "Content-Length: " + std::to_string(response.contentLength()) + "\r\n";
    }
    if (closeAfter) head += "Connection: close\r\n";
    return head + "\r\n";
}

std::string chunkSizeLine(std::size_t size) {
    char digits[2 * sizeof(std::size_t)];
    char* end = std::to_chars(digits, digits + sizeof digits, size, 16).ptr;
    return std::string(digits, end) + "\r\n";
}

}  // namespace platform
