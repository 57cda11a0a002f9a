#include "platform/http.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/http_url.h"
#include "platform/http_watch.h"

namespace platform {
namespace {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

// Everything one exchange's callbacks share with it.
struct Exchange {
    Exchange(const HttpRequest& r, CURL* e) : request(r), easy(e) {}

    const HttpRequest& request;
    CURL* easy;
    std::uint64_t total = 0;
    std::uint64_t sent = 0;
    Descriptor upload;
    std::vector<char> block;
    std::size_t blockUsed = 0;
    Descriptor download;
    bool downloadTried = false;
    HttpReply reply;
    // Why a callback stopped the transfer, when it did.
    bool uploadUnreadable = false;
    bool downloadUnwritable = false;
    bool downloadTooLarge = false;
    bool stopped = false;
    std::uint64_t downloaded = 0;
    bool bodyCapped = false;
};

// Fills the next 1 MiB block from the upload file. A short read means the file shrank or
// failed: the request would go out shorter than announced, so the exchange ends.
bool refillBlock(Exchange& x) {
    std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(httpUploadBlock, x.total - x.sent));
    x.block.resize(length);
    x.blockUsed = 0;
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = ::read(x.upload.get(), x.block.data() + got, length - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t readBody(char* out, std::size_t size, std::size_t count, void* user) {
    Exchange& x = *static_cast<Exchange*>(user);
    std::size_t room = size * count;
    if (x.sent >= x.total) return 0;
    if (x.upload.get() < 0) {
        std::size_t n = std::min<std::size_t>(room, x.total - x.sent);
        std::memcpy(out, x.request.body.data() + x.sent, n);
        x.sent += n;
        return n;
    }
    if (x.blockUsed == x.block.size() && !refillBlock(x)) {
        x.uploadUnreadable = true;
        return CURL_READFUNC_ABORT;
    }
    std::size_t n = std::min(room, x.block.size() - x.blockUsed);
    std::memcpy(out, x.block.data() + x.blockUsed, n);
    x.blockUsed += n;
    x.sent += n;
    if (x.blockUsed == x.block.size() && x.request.progress) x.request.progress(x.sent, x.total);
    return n;
}

long responseCode(CURL* easy) {
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

// The download file exists only for an answer with status exactly 200, so an error page
// never lands where the result archive is expected.
void openDownloadIfDue(Exchange& x) {
    if (x.downloadTried || x.request.downloadFile.empty() || responseCode(x.easy) != 200) return;
    x.downloadTried = true;
    x.download.reset(::open(x.request.downloadFile.c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (x.download.get() < 0) x.downloadUnwritable = true;
}

// Writes one received block whole; false when the disk refused part of it.
bool writeDownload(Exchange& x, const char* data, std::size_t n) {
    for (std::size_t done = 0; done < n;) {
        ssize_t w = ::write(x.download.get(), data + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* user) {
    Exchange& x = *static_cast<Exchange*>(user);
    std::size_t n = size * count;
    openDownloadIfDue(x);
    // A full disk must not turn into a cut archive that passes for the whole result: the
    // exchange ends, and the caller may fetch it again once there is room.
    if (x.downloadUnwritable) return CURL_WRITEFUNC_ERROR;
    if (x.download.get() >= 0) {
        x.downloaded += n;
        if (x.request.downloadCap > 0 && x.downloaded > x.request.downloadCap) {
            x.downloadTooLarge = true;
            return CURL_WRITEFUNC_ERROR;
        }
        if (writeDownload(x, data, n)) return n;
        x.downloadUnwritable = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (x.reply.body.size() >= x.request.bodyCap) {
        // Everything further would be dropped; stop reading instead of draining a flood.
        x.bodyCapped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    x.reply.body.append(data, n);
    return n;
}

// The request's header lines, plus the removal of the ones libcurl would add by itself, so
// the service sees what the tool means to send: no Accept, no form content type, no
// "Expect: 100-continue" round trip before a large body.
std::unique_ptr<curl_slist, ListDeleter> headerList(std::string_view block) {
    curl_slist* list = nullptr;
    bool hasContentType = false;
    auto add = [&list](const std::string& line) {
        if (curl_slist* longer = curl_slist_append(list, line.c_str())) list = longer;
    };
    while (!block.empty()) {
        std::size_t end = block.find("\r\n");
        std::string line(block.substr(0, end));
        block.remove_prefix(end == std::string_view::npos ? block.size() : end + 2);
        if (line.empty()) continue;
        if (strncasecmp(line.c_str(), "content-type:", 13) == 0) hasContentType = true;
        add(line);
    }
    add("Accept:");
    add("Expect:");
    if (!hasContentType) add("Content-Type:");
    return std::unique_ptr<curl_slist, ListDeleter>(list);
}

// O_NONBLOCK keeps a FIFO under the upload's name from hanging the worker; only a regular
// file has a size to announce.
bool openUpload(Exchange& x) {
    x.upload.reset(::open(x.request.uploadFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (x.upload.get() < 0 || ::fstat(x.upload.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const HttpRequest& r = x.request;
    if (!r.uploadLength) {
        x.total = size;
        return true;
    }
    // Reading goes on from the range's start; a range past the end could not be sent whole.
    if (r.uploadOffset > size || *r.uploadLength > size - r.uploadOffset) return false;
    x.total = *r.uploadLength;
    return ::lseek(x.upload.get(), static_cast<off_t>(r.uploadOffset), SEEK_SET) >= 0;
}

bool isGetLike(const std::string& method) {
    return method == "GET" || method == "HEAD";
}

void setOptions(Exchange& x, const std::string& url, curl_slist* headers) {
    CURL* e = x.easy;
    const HttpTimeouts& t = x.request.timeouts;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "VarraForgesetServerTool/1.0");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.resolveMs + t.connectMs));
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, static_cast<long>(httpReceiveBlock));
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(httpUploadBlock));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, receiveBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &x);
    if (isGetLike(x.request.method) && x.total == 0) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        if (x.request.method == "HEAD") curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
        return;
    }
    // Every other method sends its body, possibly empty, with its length announced.
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, x.request.method.c_str());
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(x.total));
    curl_easy_setopt(e, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(e, CURLOPT_READDATA, &x);
}

curl_off_t info(CURL* easy, CURLINFO what) {
    curl_off_t value = 0;
    curl_easy_getinfo(easy, what, &value);
    return value;
}

// Drives the transfer, ending it when the connection is up but no byte moved for the send
// or receive limit, when the overall deadline passed, or when the caller asks it to stop.
// libcurl's own low-speed limit counts whole seconds only; this counts milliseconds so
// tests can shorten it.
CURLcode transfer(Exchange& x, bool& stalled) {
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), x.easy) != CURLM_OK) return CURLE_FAILED_INIT;
    HttpWatch watch(x.request.timeouts, x.total, x.request.downloadCap);
    curl_off_t lastCount = -1;
    int running = 1;
    CURLcode result = CURLE_OK;
    while (running) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (!running) break;
        bool connected = info(x.easy, CURLINFO_PRETRANSFER_TIME_T) > 0;
        curl_off_t count = info(x.easy, CURLINFO_SIZE_UPLOAD_T) +
                           info(x.easy, CURLINFO_SIZE_DOWNLOAD_T) + responseCode(x.easy);
        // Until the connection is up, libcurl's own limit (resolve plus connect) applies.
        if (!connected || count != lastCount) {
            lastCount = count;
            watch.moved();
        }
        bool sending = static_cast<std::uint64_t>(info(x.easy, CURLINFO_SIZE_UPLOAD_T)) < x.total;
        auto left = watch.left(sending ? HttpWatch::Step::sending : HttpWatch::Step::receiving);
        if (left <= HttpWatch::Clock::duration::zero()) {
            stalled = true;
            break;
        }
        if (x.request.stop && x.request.stop()) {
            x.stopped = true;
            break;
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
        curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(std::min<long long>(wait, 100)),
                        nullptr);
    }
    if (!stalled && !x.stopped && !running) {
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) result = message->data.result;
        }
    }
    curl_multi_remove_handle(multi.get(), x.easy);
    return result;
}

bool setUpLibrary() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

HttpFailure failureOf(const Exchange& x, CURLcode result, bool stalled) {
    if (x.uploadUnreadable) return HttpFailure::cannotReadUpload;
    if (x.downloadUnwritable) return HttpFailure::cannotWriteDownload;
    if (x.downloadTooLarge) return HttpFailure::downloadTooLarge;
    if (x.stopped) return HttpFailure::stopped;
    if (stalled) return HttpFailure::noAnswer;
    // Before the request could be sent nothing was reached: name, proxy, connect or TLS.
    bool connected = info(x.easy, CURLINFO_PRETRANSFER_TIME_T) > 0;
    if (!connected || result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_HOST) {
        return HttpFailure::cannotReach;
    }
    return HttpFailure::noAnswer;
}

}  // namespace

std::expected<HttpReply, HttpFailure> httpExchange(const HttpRequest& request) {
    bool ready = setUpLibrary();
    std::optional<std::string> url = sendableUrl(request.url);
    if (!url) return std::unexpected(HttpFailure::badUrl);
    if (!ready) return std::unexpected(HttpFailure::cannotOpen);
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return std::unexpected(HttpFailure::cannotOpen);
    Exchange x(request, easy.get());
    x.total = request.body.size();
    if (!request.uploadFile.empty() && !openUpload(x)) {
        return std::unexpected(HttpFailure::cannotReadUpload);
    }
    std::unique_ptr<curl_slist, ListDeleter> headers = headerList(request.headers);
    setOptions(x, *url, headers.get());
    bool stalled = false;
    CURLcode result = transfer(x, stalled);
    bool complete = !stalled && !x.stopped &&
                    (result == CURLE_OK || (x.bodyCapped && result == CURLE_WRITE_ERROR));
    if (complete) {
        x.reply.status = static_cast<std::uint32_t>(responseCode(x.easy));
        openDownloadIfDue(x);  // an empty 200 answer still gives its (empty) file
        // The last bytes may sit in the page cache until close, where a full disk shows too.
        if (x.download.get() >= 0 && ::close(x.download.release()) != 0) {
            x.downloadUnwritable = true;
        }
        if (!x.downloadUnwritable) return std::move(x.reply);
    }
    // A download cut off part-way would pass for the whole result archive.
    if (x.download.get() >= 0 || x.downloadUnwritable) {
        x.download.reset();
        ::unlink(request.downloadFile.c_str());
    }
    return std::unexpected(failureOf(x, result, stalled));
}

}  // namespace platform
