// The browser host's reading of request heads on any bytes a client could send: a head it
// takes holds only what a browser could have meant, and framing never reads past the head.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/http_message.h"

namespace {

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<std::size_t> length = platform::headLength(bytes);
    // Any cap judges the bytes as the head's own end says: complete when it ends within the
    // cap, too large when it ends past it or has not ended by the cap's last byte.
    const std::size_t cap = size == 0 ? 0 : data[0];
    const platform::HeadProgress progress = platform::headProgress(bytes, cap);
    if (length && *length <= cap) {
        FUZZ_CHECK(progress.kind == platform::HeadProgress::complete && progress.length == *length);
    } else if (length || size >= cap) {
        FUZZ_CHECK(progress.kind == platform::HeadProgress::tooLarge);
    } else {
        FUZZ_CHECK(progress.kind == platform::HeadProgress::partial);
    }
    if (!length) return 0;
    FUZZ_CHECK(*length <= size);
    FUZZ_CHECK(bytes.substr(0, *length).ends_with("\n\n") ||
               bytes.substr(0, *length).ends_with("\n\r\n"));
    std::optional<platform::ServerRequest> request = platform::parseHead(bytes.substr(0, *length));
    if (!request) return 0;
    FUZZ_CHECK(!request->method.empty() && !request->target.empty());
    FUZZ_CHECK(request->target.find(' ') == std::string::npos);
    FUZZ_CHECK(!hasLineBreak(request->method) && !hasLineBreak(request->target));
    for (const platform::HttpHeader& header : request->headers) {
        FUZZ_CHECK(!header.name.empty() && !hasLineBreak(header.name));
        FUZZ_CHECK(header.name.find(':') == std::string::npos);
        FUZZ_CHECK(!hasLineBreak(header.value));
        FUZZ_CHECK(request->headerCount(header.name) >= 1);
    }
    platform::BodyFraming framing = platform::bodyFraming(*request);
    if (framing.kind != platform::BodyFraming::length) FUZZ_CHECK(framing.bytes == 0);
    platform::keepsAlive(*request);
    platform::expectsContinue(*request);

    // An answer echoing what was read stays one head: its only blank line is the last.
    platform::ServerResponse answer;
    answer.setHeader("X-Target", request->target);
    std::string head = platform::responseHead(answer, request->headers, true);
    FUZZ_CHECK(head.find("\r\n\r\n") == head.size() - 4);
    return 0;
}
