#include "platform/win32/winhttp_request.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

// What one operation needs while WinHTTP runs it: the buffer it reads from or into, and where
// its completion lands. Shared between the request and the WinHTTP handle, since an operation
// given up on may still complete after the request is gone.
struct PendingOperation {
    OwnedHandle done;
    bool succeeded = false;
    DWORD bytes = 0;
    std::wstring headers;
    std::vector<char> buffer = std::vector<char>(httpReceiveBlock);
};

namespace {

constexpr DWORD kCompletions =
    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;

// Runs on a WinHTTP thread (or inside the call that started the operation). The request's
// context is a heap copy of the shared pointer, released when WinHTTP closes the handle.
void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* owner = reinterpret_cast<std::shared_ptr<PendingOperation>*>(context);
    if (!owner) return;
    PendingOperation& operation = **owner;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            operation.succeeded = true;
            operation.bytes = 0;
            break;
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            operation.succeeded = true;
            operation.bytes = *static_cast<const DWORD*>(info);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            operation.succeeded = true;
            operation.bytes = length;
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            operation.succeeded = false;
            operation.bytes = 0;
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            delete owner;
            return;
        default:
            return;
    }
    ::SetEvent(operation.done.get());
}

int asTimeout(std::uint32_t ms) {
    return static_cast<int>(std::min<std::uint32_t>(ms, INT_MAX));
}

bool setNumber(HINTERNET handle, DWORD option, DWORD value) {
    return ::WinHttpSetOption(handle, option, &value, sizeof value) != 0;
}

}  // namespace

std::expected<std::unique_ptr<WinHttpRequest>, HttpFailure> WinHttpRequest::open(
    const UrlParts& url, const std::string& method, const HttpTimeouts& timeouts, HttpWatch& watch,
    const std::function<bool()>& stop) {
    std::unique_ptr<WinHttpRequest> request(new WinHttpRequest);
    request->watch_ = &watch;
    request->stop_ = &stop;
    // The automatic proxy is what the system's own programs use: the configured one, or the
    // one a proxy script names.
    request->session_ =
        ::WinHttpOpen(L"VarraForgesetServerTool/1.0", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (!request->session_) return std::unexpected(HttpFailure::cannotOpen);
    // WinHTTP's own limits end an operation that we gave up on. Its plain receive limit does
    // not end a slow answer under Wine; the limit for the answer's headers does.
    ::WinHttpSetTimeouts(request->session_, asTimeout(timeouts.resolveMs),
                         asTimeout(timeouts.connectMs), asTimeout(timeouts.sendMs),
                         asTimeout(timeouts.receiveMs));
    setNumber(request->session_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, timeouts.receiveMs);
    request->pending_ = std::make_shared<PendingOperation>();
    request->pending_->done = OwnedHandle(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!request->pending_->done.get() ||
        ::WinHttpSetStatusCallback(request->session_, onStatus, kCompletions, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK) {
        return std::unexpected(HttpFailure::cannotOpen);
    }

    request->connection_ =
        ::WinHttpConnect(request->session_, toWide(url.host).c_str(), url.port, 0);
    if (!request->connection_) return std::unexpected(HttpFailure::cannotReach);
    // The target is sent as it is: splitUrl already made it plain ASCII.
    const DWORD flags = (url.secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                        WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    request->request_ = ::WinHttpOpenRequest(
        request->connection_, toWide(method).c_str(), toWide(url.target).c_str(), nullptr,
        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    if (!request->request_) return std::unexpected(HttpFailure::cannotReach);
    // The request's own headers (the bearer token) go to this host only: no redirect is
    // followed, and no Windows sign-in is offered to a host that asks for one.
    if (!setNumber(request->request_, WINHTTP_OPTION_REDIRECT_POLICY,
                   WINHTTP_OPTION_REDIRECT_POLICY_NEVER) ||
        !setNumber(request->request_, WINHTTP_OPTION_AUTOLOGON_POLICY,
                   WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH)) {
        return std::unexpected(HttpFailure::cannotOpen);
    }
    auto* owner = new std::shared_ptr<PendingOperation>(request->pending_);
    auto context = reinterpret_cast<DWORD_PTR>(owner);
    if (!::WinHttpSetOption(request->request_, WINHTTP_OPTION_CONTEXT_VALUE, &context,
                            sizeof context)) {
        delete owner;
        return std::unexpected(HttpFailure::cannotOpen);
    }
    return request;
}

WinHttpRequest::~WinHttpRequest() {
    for (HINTERNET handle : {request_, connection_, session_}) {
        if (handle) ::WinHttpCloseHandle(handle);
    }
}

WinHttpRequest::Outcome WinHttpRequest::await(HttpWatch::Step step) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(watch_->left(step)).count();
        if (left <= 0)
            return watch_->pastDeadline() ? Outcome::pastDeadline : Outcome::waitedTooLong;
        if (*stop_ && (*stop_)()) return Outcome::stopped;
        const auto slice = static_cast<DWORD>(std::min<long long>(left, 100));
        if (::WaitForSingleObject(pending_->done.get(), slice) == WAIT_OBJECT_0) {
            return pending_->succeeded ? Outcome::done : Outcome::failed;
        }
    }
}

WinHttpRequest::Outcome WinHttpRequest::send(const std::string& headers, std::uint32_t total) {
    pending_->headers = toWide(headers);
    const wchar_t* lines =
        pending_->headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : pending_->headers.c_str();
    if (!::WinHttpSendRequest(request_, lines, static_cast<DWORD>(pending_->headers.size()),
                              WINHTTP_NO_REQUEST_DATA, 0, total, 0)) {
        return Outcome::failed;
    }
    const Outcome outcome = await(HttpWatch::Step::reaching);
    if (outcome == Outcome::done) watch_->moved();
    return outcome;
}

WinHttpRequest::Outcome WinHttpRequest::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t piece = std::min(bytes.size(), pending_->buffer.size());
        std::memcpy(pending_->buffer.data(), bytes.data(), piece);
        if (!::WinHttpWriteData(request_, pending_->buffer.data(), static_cast<DWORD>(piece),
                                nullptr)) {
            return Outcome::failed;
        }
        const Outcome outcome = await(HttpWatch::Step::sending);
        if (outcome != Outcome::done) return outcome;
        watch_->moved();
        bytes.remove_prefix(piece);
    }
    return Outcome::done;
}

WinHttpRequest::Outcome WinHttpRequest::receive() {
    if (!::WinHttpReceiveResponse(request_, nullptr)) return Outcome::failed;
    const Outcome outcome = await(HttpWatch::Step::receiving);
    if (outcome == Outcome::done) watch_->moved();
    return outcome;
}

std::uint32_t WinHttpRequest::status() {
    DWORD code = 0;
    DWORD size = sizeof code;
    ::WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX);
    return code;
}

std::optional<std::uint64_t> WinHttpRequest::contentLength() {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request_, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                               text, &size, WINHTTP_NO_HEADER_INDEX) ||
        text[0] == L'\0') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9' || value > (UINT64_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(*c - L'0');
    }
    return value;
}

WinHttpRequest::Outcome WinHttpRequest::read(std::string& bytes, std::size_t limit) {
    bytes.clear();
    // Asking what is there first: WinHTTP under Wine fills a read's whole buffer before it
    // completes, so a read of more than has arrived would wait for a slow peer's next bytes.
    if (!::WinHttpQueryDataAvailable(request_, nullptr)) return Outcome::failed;
    Outcome outcome = await(HttpWatch::Step::receiving);
    if (outcome != Outcome::done || pending_->bytes == 0) return outcome;
    const auto want = static_cast<DWORD>(
        std::min<std::size_t>({pending_->bytes, limit, pending_->buffer.size()}));
    if (!::WinHttpReadData(request_, pending_->buffer.data(), want, nullptr)) {
        return Outcome::failed;
    }
    outcome = await(HttpWatch::Step::receiving);
    if (outcome != Outcome::done) return outcome;
    bytes.assign(pending_->buffer.data(), pending_->bytes);
    watch_->moved();
    return Outcome::done;
}

}  // namespace platform::win32
