#include "platform/http.h"

#include <windows.h>

#include <algorithm>

#include "platform/http_url.h"
#include "platform/http_watch.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/winhttp_request.h"

namespace platform {
namespace {

using win32::OwnedHandle;
using win32::WinHttpRequest;
using Outcome = WinHttpRequest::Outcome;

// The request body's source: a range of a file, read one block at a time.
struct Upload {
    OwnedHandle file;
    std::uint64_t length = 0;
};

// Only a regular file has a size to announce; a pipe or device under the upload's name could
// hold the worker for ever.
std::optional<Upload> openUpload(const HttpRequest& request) {
    Upload upload;
    upload.file = OwnedHandle(::CreateFileW(win32::widePath(request.uploadFile).c_str(),
                                            GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!upload.file || ::GetFileType(upload.file.get()) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(upload.file.get(), &size)) {
        return std::nullopt;
    }
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    if (!request.uploadLength) {
        upload.length = fileSize;
        return upload;
    }
    // Reading goes on from the range's start; a range past the end could not be sent whole.
    if (request.uploadOffset > fileSize ||
        *request.uploadLength > fileSize - request.uploadOffset) {
        return std::nullopt;
    }
    upload.length = *request.uploadLength;
    LARGE_INTEGER offset{};
    offset.QuadPart = static_cast<LONGLONG>(request.uploadOffset);
    if (!::SetFilePointerEx(upload.file.get(), offset, nullptr, FILE_BEGIN)) return std::nullopt;
    return upload;
}

// Reads exactly `length` bytes; a short read means the file shrank or failed, and the request
// would go out shorter than announced.
bool readBlock(HANDLE file, std::string& block, std::size_t length) {
    block.resize(length);
    std::size_t got = 0;
    while (got < length) {
        DWORD n = 0;
        if (!::ReadFile(file, block.data() + got, static_cast<DWORD>(length - got), &n, nullptr) ||
            n == 0) {
            return false;
        }
        got += n;
    }
    return true;
}

HttpFailure failureOf(Outcome outcome, HttpFailure stepFailure) {
    switch (outcome) {
        case Outcome::stopped:
            return HttpFailure::stopped;
        case Outcome::pastDeadline:
            return HttpFailure::noAnswer;
        default:
            return stepFailure;
    }
}

// The download file, created for an answer with status 200 only so that an error page never
// lands where the result archive is expected, and removed again unless the exchange ends whole.
class Download {
  public:
    explicit Download(const std::string& path) : path_(path) {}
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;
    ~Download() {
        if (!kept_ && file_) {
            file_.close();
            ::DeleteFileW(win32::widePath(path_).c_str());
        }
    }

    // A link under the name is not followed: the file it points to is not ours to replace.
    bool open() {
        file_ = OwnedHandle(::CreateFileW(win32::widePath(path_).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION facts{};
        return file_ && ::GetFileInformationByHandle(file_.get(), &facts) &&
               !(facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    bool write(const std::string& bytes) {
        DWORD written = 0;
        return ::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    }
    // The last bytes may wait in the cache until the close, where a failure shows too.
    bool keep() {
        kept_ = file_.close();
        return kept_;
    }

  private:
    std::string path_;
    OwnedHandle file_;
    bool kept_ = false;
};

// Sends the body: the upload file's range in 1 MiB blocks with progress after each, or the
// request's own bytes.
std::optional<HttpFailure> sendBody(WinHttpRequest& http, const HttpRequest& request,
                                    std::optional<Upload>& upload) {
    Outcome outcome = Outcome::done;
    if (!upload) {
        outcome = http.write(request.body);
    } else {
        std::string block;
        for (std::uint64_t sent = 0; sent < upload->length && outcome == Outcome::done;) {
            const auto length = static_cast<std::size_t>(
                std::min<std::uint64_t>(httpUploadBlock, upload->length - sent));
            if (!readBlock(upload->file.get(), block, length)) return HttpFailure::cannotReadUpload;
            outcome = http.write(block);
            sent += length;
            if (outcome == Outcome::done && request.progress)
                request.progress(sent, upload->length);
        }
    }
    if (outcome != Outcome::done) return failureOf(outcome, HttpFailure::noAnswer);
    return std::nullopt;
}

// Reads the answer's body into memory or into the download file.
std::optional<HttpFailure> receiveBody(WinHttpRequest& http, const HttpRequest& request,
                                       HttpReply& reply, Download* download) {
    std::uint64_t received = 0;
    std::string bytes;
    for (;;) {
        if (!download && reply.body.size() >= request.bodyCap) return std::nullopt;
        const Outcome outcome = http.read(bytes, httpReceiveBlock);
        if (outcome != Outcome::done) return failureOf(outcome, HttpFailure::noAnswer);
        if (bytes.empty()) break;
        received += bytes.size();
        if (!download) {
            reply.body += bytes;
            continue;
        }
        if (request.downloadCap > 0 && received > request.downloadCap) {
            return HttpFailure::downloadTooLarge;
        }
        if (!download->write(bytes)) return HttpFailure::cannotWriteDownload;
    }
    // A connection that closed early must not pass for the whole answer.
    const std::optional<std::uint64_t> announced = http.contentLength();
    if (announced && request.method != "HEAD" && received < *announced)
        return HttpFailure::noAnswer;
    return std::nullopt;
}

}  // namespace

std::expected<HttpReply, HttpFailure> httpExchange(const HttpRequest& request) {
    const std::optional<UrlParts> url = splitUrl(request.url);
    if (!url) return std::unexpected(HttpFailure::badUrl);
    std::optional<Upload> upload;
    if (!request.uploadFile.empty()) {
        upload = openUpload(request);
        if (!upload) return std::unexpected(HttpFailure::cannotReadUpload);
    }
    const std::uint64_t total = upload ? upload->length : request.body.size();
    // WinHTTP announces a body length of at most 32 bits; the tool's parts are far smaller.
    if (total > MAXDWORD - 1) return std::unexpected(HttpFailure::cannotReadUpload);

    HttpWatch watch(request.timeouts, total, request.downloadCap);
    auto http = WinHttpRequest::open(*url, request.method, request.timeouts, watch, request.stop);
    if (!http) return std::unexpected(http.error());
    if (Outcome sent = (*http)->send(request.headers, static_cast<std::uint32_t>(total));
        sent != Outcome::done) {
        return std::unexpected(failureOf(sent, HttpFailure::cannotReach));
    }
    if (std::optional<HttpFailure> failed = sendBody(**http, request, upload)) {
        return std::unexpected(*failed);
    }
    if (Outcome received = (*http)->receive(); received != Outcome::done) {
        return std::unexpected(failureOf(received, HttpFailure::noAnswer));
    }
    HttpReply reply;
    reply.status = (*http)->status();
    std::optional<Download> download;
    if (!request.downloadFile.empty() && reply.status == 200) {
        download.emplace(request.downloadFile);
        if (!download->open()) return std::unexpected(HttpFailure::cannotWriteDownload);
    }
    if (std::optional<HttpFailure> failed =
            receiveBody(**http, request, reply, download ? &*download : nullptr)) {
        return std::unexpected(*failed);
    }
    if (download && !download->keep()) return std::unexpected(HttpFailure::cannotWriteDownload);
    return reply;
}

}  // namespace platform
