#include "platform/posix/http_url.h"

#include <curl/curl.h>

#include <memory>
#include <string_view>

namespace platform {
namespace {

constexpr std::size_t maxHost = 255;
constexpr std::size_t maxPathOrQuery = 2047;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// One part of the URL; nothing when it is absent.
std::optional<std::string> part(CURLU* url, CURLUPart which, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, which, &text, flags) != CURLUE_OK || !text) return std::nullopt;
    std::string value(text);
    curl_free(text);
    return value;
}

// libcurl reads "http:///x" and "http:/x" as the host "x"; an address written that way is
// more likely a mistake than meant, so the authority must follow "://" at once.
bool hasAuthority(const std::string& url) {
    std::size_t mark = url.find("://");
    return mark != std::string::npos && mark + 3 < url.size() &&
           std::string_view("/?#").find(url[mark + 3]) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> sendableUrl(const std::string& url) {
    if (!hasAuthority(url)) return std::nullopt;
    UrlHandle handle(curl_url());
    // Without a guessing flag a URL without a scheme is refused, as it should be: the tool
    // must never decide on its own whether the token travels encrypted.
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    std::optional<std::string> scheme = part(handle.get(), CURLUPART_SCHEME);
    std::optional<std::string> host = part(handle.get(), CURLUPART_HOST);
    std::optional<std::string> path = part(handle.get(), CURLUPART_PATH);
    std::optional<std::string> query = part(handle.get(), CURLUPART_QUERY);
    if (!scheme || (*scheme != "http" && *scheme != "https")) return std::nullopt;
    if (!host || host->empty() || host->size() > maxHost) return std::nullopt;
    if (path && path->size() > maxPathOrQuery) return std::nullopt;
    if (query && query->size() > maxPathOrQuery) return std::nullopt;
    // Credentials in the address are not ours to send; the service only knows the bearer.
    curl_url_set(handle.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(handle.get(), CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(handle.get(), CURLUPART_FRAGMENT, nullptr, 0);
    return part(handle.get(), CURLUPART_URL);
}

}  // namespace platform
