#include "remote/upload.h"

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/diagnostics.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/file_tree.h"

namespace remote {

namespace {

constexpr const char* kUnreadable = "Could not read the upload file.";

// A JSON number of bytes as a whole number; anything that is not a positive number that fits
// gives 0, which the caller refuses.
std::uint64_t partSizeOf(const std::string& answer) {
    double size = bridge::jsonNumber(answer, "partSize", 0);
    if (!(size >= 1) || size >= 18446744073709551616.0) return 0;
    return static_cast<std::uint64_t>(size);
}

// Sends one part, with its retries. The last answer tells why it failed, when it did.
bridge::BuildServiceResponse sendPart(bridge::App& app, const UploadJob& job,
                                      const std::string& uploadId, std::uint64_t index,
                                      const bridge::FileRange& range) {
    const std::string path = "/api/uploads/" + uploadId + "/parts/" + std::to_string(index);
    const std::string headers =
        bridge::bearerHeader(job.token) + "Content-Type: application/octet-stream\r\n";
    bridge::BuildServiceResponse response;
    for (int attempt = 1; attempt <= kPartAttempts; ++attempt) {
        if (attempt > 1) {
            app.remoteTimings.wait(app.remoteTimings.retryStepMs *
                                   static_cast<std::uint32_t>(attempt - 1));
        }
        response = bridge::buildServiceRequest(job.timeouts, "PUT", path, headers, range);
        if (response.status == 200 && response.error.empty()) return response;
        // A file that cannot be read stays so; only the service's trouble may pass.
        if (response.error == kUnreadable || !isRetried(response.status)) return response;
    }
    return response;
}

std::string sendParts(bridge::App& app, const UploadJob& job, const std::string& uploadId,
                      std::uint64_t size, std::uint64_t partSize) {
    const std::uint64_t parts = size / partSize + (size % partSize != 0 ? 1 : 0);
    for (std::uint64_t i = 0; i < parts; ++i) {
        const std::uint64_t offset = i * partSize;
        const bridge::FileRange range{job.archive, offset, std::min(partSize, size - offset)};
        bridge::BuildServiceResponse response = sendPart(app, job, uploadId, i, range);
        if (response.status != 200 || !response.error.empty()) {
            // A file that shrank or vanished is the tool's own trouble, not the service's.
            if (response.error == kUnreadable) return kUnreadable;
            return "Upload failed: " + bridge::describeFailure(response);
        }
        // Whole percentages, rounded down; 128-bit so a huge part count cannot overflow.
        const auto percent =
            static_cast<std::uint64_t>((static_cast<unsigned __int128>(i + 1) * 100) / parts);
        bridge::sendSpeciesRemote(app, job.root, job.name, "uploading",
                                  "Uploading " + std::to_string(percent) + " %");
    }
    return {};
}

}  // namespace

bool isRetried(std::uint32_t status) {
    if (status >= 400 && status <= 499) return status == 408 || status == 429;
    return status != 200;
}

UploadOutcome uploadPackage(bridge::App& app, const UploadJob& job) {
    const platform::Result<std::uint64_t> measured = platform::fileSize(job.archive);
    if (!measured) return {kUnreadable, {}};
    const std::uint64_t size = *measured;
    bridge::BuildServiceResponse start =
        bridge::buildServiceRequest(job.timeouts, "POST", "/api/uploads",
                                    bridge::bearerHeader(job.token) + "X-Species: " + job.name +
                                        "\r\nContent-Type: application/json\r\n",
                                    {}, "{\"size\":" + std::to_string(size) + "}", {});
    if (start.status == 401) {
        // The notice asks for a new sign-in either way; a stale token left behind is only
        // refused again.
        if (platform::Result<> forgotten = bridge::deleteCredentials(); !forgotten)
            bridge::reportFailure("Could not delete the expired sign-in", forgotten.error());
        return {"Your sign in expired. Sign in again.", {}};
    }
    if (start.status != 200 && start.status != 201) return {bridge::describeFailure(start), {}};
    const std::string grant = bridge::fromUtf8(start.body);
    const std::string uploadId = bridge::jsonString(grant, "uploadId");
    const std::uint64_t partSize = partSizeOf(grant);
    if (!bridge::isServiceId(uploadId) || partSize == 0) {
        return {"The build service did not start the upload.", {}};
    }
    std::string failure = sendParts(app, job, uploadId, size, partSize);
    if (!failure.empty()) return {failure, {}};
    bridge::sendSpeciesRemote(app, job.root, job.name, "uploading", "Checking the upload");
    bridge::BuildServiceResponse done =
        bridge::buildServiceRequest(job.timeouts, "POST", "/api/uploads/" + uploadId + "/complete",
                                    bridge::bearerHeader(job.token), {}, {}, {});
    if (done.status != 200 && done.status != 201) return {bridge::describeFailure(done), {}};
    const std::string jobId = bridge::jsonString(bridge::fromUtf8(done.body), "id");
    if (!bridge::isServiceId(jobId)) return {"The build service did not return a job id.", {}};
    return {{}, jobId};
}

}  // namespace remote
