#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/http.h"

namespace bridge {

// The remote build talks to one HTTPS service. These helpers are shared by the species
// message (which shows the service address) and the remote build (which makes the calls).

// The answer to one call. `error` is empty when the exchange completed, whatever its
// status; otherwise it holds one of the fixed texts and `status` is 0.
struct BuildServiceResponse {
    std::uint32_t status = 0;
    // The body as received (normally UTF-8 JSON), at most about 4 MiB; empty when it went
    // to a download file.
    std::string body;
    std::string error;
};

// The address every endpoint path is appended to: VARRAFORGESET_BUILD_URL when it is set,
// non-empty and at most 511 characters, else the built-in default; trailing "/" removed.
// Read anew on every call, so a changed environment takes effect at once.
std::string buildServiceBaseUrl();

// "Authorization: Bearer " + token + CR LF, the first line of every call's header block.
// Control characters are left out of the token, so a token can never end the line early
// and smuggle another header into the request.
std::string bearerHeader(std::string_view token);

// Upload and job ids go verbatim into URL paths and files: 1 to 64 characters, each an ASCII
// letter, a digit, "-" or "_".
bool isServiceId(std::string_view id);

// The words shown to the user for a call that did not succeed: the transport's error, else
// the service's own "error" message, else the status.
std::string describeFailure(const BuildServiceResponse& response);

// One blocking call to the service at buildServiceBaseUrl() + path (paths begin with "/").
// `headers` holds complete lines ending in CR LF, the bearer line first. The body comes from
// `uploadFile` when that is set (streamed in 1 MiB blocks, `progress` after each), else from
// `body`. With `downloadFile` set, an answer with status 200 goes to that file; any other
// stays in `body` for describeFailure. Runs on worker threads; may take minutes.
BuildServiceResponse buildServiceRequest(const platform::HttpTimeouts& timeouts,
                                         std::string_view method, std::string_view path,
                                         std::string_view headers, const std::string& uploadFile,
                                         std::string_view body, const std::string& downloadFile,
                                         const platform::HttpProgress& progress = {});

// A GET whose answer may be long, such as a build log asked for from its start: kept in
// memory up to `bodyCap` bytes instead of about 4 MiB. A longer answer arrives cut, with at
// least `bodyCap` bytes.
BuildServiceResponse buildServiceGet(const platform::HttpTimeouts& timeouts, std::string_view path,
                                     std::string_view headers, std::size_t bodyCap);

// A GET whose 200 answer goes to `downloadFile`, failing with "The result is larger than the
// tool takes." once more than `cap` bytes arrived, with or without an announced length, and
// with "Stopped." once `stop` says so.
BuildServiceResponse buildServiceDownload(const platform::HttpTimeouts& timeouts,
                                          std::string_view path, std::string_view headers,
                                          const std::string& downloadFile, std::uint64_t cap,
                                          std::function<bool()> stop);

// One part of a file: `length` bytes from `offset`.
struct FileRange {
    std::string file;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The same call with the body streamed from a range of a file in 1 MiB blocks, so a part of
// any size the service asks for never sits in memory. A file shorter than the range fails
// with "Could not read the upload file.".
BuildServiceResponse buildServiceRequest(const platform::HttpTimeouts& timeouts,
                                         std::string_view method, std::string_view path,
                                         std::string_view headers, const FileRange& range);

}  // namespace bridge
