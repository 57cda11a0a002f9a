#include "bridge/build_service.h"

#include <optional>

#include "bridge/json_read.h"
#include "bridge/text.h"
#include "platform/environment.h"

namespace bridge {

namespace {

// A reserved name (.invalid never resolves), so a build without a configured service fails
// at once with "Could not reach the build service." instead of talking to a stranger.
constexpr std::string_view defaultBaseUrl = "https://build.varraforgeset.invalid/build";

constexpr std::size_t maxBaseUrlCharacters = 511;

bool isIdCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

std::string failureText(platform::HttpFailure failure) {
    switch (failure) {
        case platform::HttpFailure::badUrl:
            return "The build service address is not valid.";
        case platform::HttpFailure::cannotOpen:
            return "Could not open a connection.";
        case platform::HttpFailure::cannotReadUpload:
            return "Could not read the upload file.";
        case platform::HttpFailure::cannotWriteDownload:
            return "The download could not be written to disk (is it full?).";
        case platform::HttpFailure::downloadTooLarge:
            return "The result is larger than the tool takes.";
        case platform::HttpFailure::stopped:
            return "Stopped.";
        case platform::HttpFailure::cannotReach:
            return "Could not reach the build service.";
        case platform::HttpFailure::noAnswer:
            break;
    }
    return "The build service did not answer.";
}

}  // namespace

std::string buildServiceBaseUrl() {
    std::string url(defaultBaseUrl);
    if (const std::optional<std::string> value =
            platform::environmentVariable("VARRAFORGESET_BUILD_URL")) {
        std::string configured = fromUtf8(*value);
        if (!configured.empty() && characterCount(configured) <= maxBaseUrlCharacters) {
            url = std::move(configured);
        }
    }
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

std::string bearerHeader(std::string_view token) {
    std::string line = "Authorization: Bearer ";
    for (char c : token) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) line += c;
    }
    return line + "\r\n";
}

bool isServiceId(std::string_view id) {
    if (id.empty() || id.size() > 64) return false;
    for (char c : id) {
        if (!isIdCharacter(c)) return false;
    }
    return true;
}

std::string describeFailure(const BuildServiceResponse& response) {
    if (!response.error.empty()) return response.error;
    std::string message = jsonString(fromUtf8(response.body), "error");
    if (!message.empty()) return message;
    return "The build service answered with status " + std::to_string(response.status) + ".";
}

namespace {

BuildServiceResponse exchange(const platform::HttpRequest& request) {
    BuildServiceResponse response;
    auto reply = platform::httpExchange(request);
    if (!reply) {
        response.error = failureText(reply.error());
        return response;
    }
    response.status = reply->status;
    response.body = std::move(reply->body);
    return response;
}

platform::HttpRequest baseRequest(const platform::HttpTimeouts& timeouts, std::string_view method,
                                  std::string_view path, std::string_view headers) {
    platform::HttpRequest request;
    request.method = std::string(method);
    request.url = buildServiceBaseUrl() + std::string(path);
    request.headers = std::string(headers);
    request.timeouts = timeouts;
    return request;
}

}  // namespace

BuildServiceResponse buildServiceRequest(const platform::HttpTimeouts& timeouts,
                                         std::string_view method, std::string_view path,
                                         std::string_view headers, const std::string& uploadFile,
                                         std::string_view body, const std::string& downloadFile,
                                         const platform::HttpProgress& progress) {
    platform::HttpRequest request = baseRequest(timeouts, method, path, headers);
    request.uploadFile = uploadFile;
    request.body = body;
    request.downloadFile = downloadFile;
    request.progress = progress;
    return exchange(request);
}

BuildServiceResponse buildServiceGet(const platform::HttpTimeouts& timeouts, std::string_view path,
                                     std::string_view headers, std::size_t bodyCap) {
    platform::HttpRequest request = baseRequest(timeouts, "GET", path, headers);
    request.bodyCap = bodyCap;
    return exchange(request);
}

BuildServiceResponse buildServiceDownload(const platform::HttpTimeouts& timeouts,
                                          std::string_view path, std::string_view headers,
                                          const std::string& downloadFile, std::uint64_t cap,
                                          std::function<bool()> stop) {
    platform::HttpRequest request = baseRequest(timeouts, "GET", path, headers);
    request.downloadFile = downloadFile;
    request.downloadCap = cap;
    request.stop = std::move(stop);
    return exchange(request);
}

BuildServiceResponse buildServiceRequest(const platform::HttpTimeouts& timeouts,
                                         std::string_view method, std::string_view path,
                                         std::string_view headers, const FileRange& range) {
    platform::HttpRequest request = baseRequest(timeouts, method, path, headers);
    request.uploadFile = range.file;
    request.uploadOffset = range.offset;
    request.uploadLength = range.length;
    return exchange(request);
}

}  // namespace bridge
