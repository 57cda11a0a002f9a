#pragma once
#include <cstdint>
#include <string>

#include "bridge/remote_state.h"
#include "platform/http.h"

namespace bridge {
struct App;
}  // namespace bridge

namespace remote {

// What uploadPackage needs besides the archive, copied when the worker starts.
struct UploadJob {
    std::string root;
    std::string name;
    std::string archive;
    std::string token;
    platform::HttpTimeouts timeouts;
};

struct UploadOutcome {
    std::string error;  // empty on success
    std::string jobId;
};

// Announces the archive to the service, sends it in the parts the service asks for (each
// streamed from its range of the file, up to four attempts with waits of 2, 4 and 6 seconds),
// reporting "Uploading N %" after each part, and completes the upload. A 401 on the first
// request signs the user out.
UploadOutcome uploadPackage(bridge::App& app, const UploadJob& job);

// The waits of the retries, through the App's timings so tests need not wait.
inline constexpr int kPartAttempts = 4;

// True for an answer worth another attempt: no answer at all, a 5xx, 408 or 429.
bool isRetried(std::uint32_t status);

}  // namespace remote
