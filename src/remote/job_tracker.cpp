#include "remote/job_tracker.h"

#include <cmath>
#include <cstdint>

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/diagnostics.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/private_file.h"
#include "remote/install.h"
#include "remote/log_lines.h"
#include "remote/remote_paths.h"
#include "species/species_message.h"
#include "species/workspace.h"

namespace remote {

namespace {

// A whole number from a JSON number; `fallback` when it is missing or no whole number fits.
std::int64_t wholeNumber(const std::string& text, const char* key, std::int64_t fallback) {
    double value = bridge::jsonNumber(text, key, NAN);
    if (!std::isfinite(value) || value < -9.2e18 || value > 9.2e18) return fallback;
    return static_cast<std::int64_t>(value);
}

// A tracker resumed on a long build asks for the whole log so far, which may be tens of
// megabytes; the page gets only its last lines of it anyway (log_lines.h).
constexpr std::size_t kLogAnswerCap = 32 << 20;

// One tracker's running state.
struct Poll {
    std::string token;
    std::int64_t next = 0;
    std::string lastDetail;
    int failures = 0;
    // Set once an answer was too long to read whole: where it ends is unknown, so asking
    // again would only fetch the same flood every poll.
    bool logTooLong = false;
};

// Fetches the log lines after `next` and shows them. A failed request is skipped: the next
// poll asks from the same place.
void followLog(bridge::App& app, const TrackedJob& job, Poll& poll) {
    if (poll.logTooLong) return;
    bridge::BuildServiceResponse log = bridge::buildServiceGet(
        job.timeouts, "/api/jobs/" + job.id + "/log?from=" + std::to_string(poll.next),
        bridge::bearerHeader(poll.token), kLogAnswerCap);
    if (log.status != 200 || !log.error.empty()) return;
    if (log.body.size() >= kLogAnswerCap) {
        poll.logTooLong = true;
        bridge::sendSpeciesLog(app, job.root, job.name, kLogTooLong);
        return;
    }
    const std::string text = bridge::fromUtf8(log.body);
    forwardLogLines(app, job.root, job.name, bridge::jsonStringArray(text, "lines"));
    poll.next = wholeNumber(text, "next", poll.next);
}

void showDetail(bridge::App& app, const TrackedJob& job, Poll& poll, const std::string& state,
                const std::string& answer) {
    std::string detail = state;
    if (state == "queued") {
        detail = "Waiting, position " + std::to_string(wholeNumber(answer, "position", 0));
    }
    if (detail == poll.lastDetail) return;
    bridge::sendSpeciesRemote(app, job.root, job.name, state, detail);
    poll.lastDetail = std::move(detail);
}

void reportLost(bridge::App& app, const TrackedJob& job, const bridge::BuildServiceResponse& last) {
    const std::string failure = bridge::describeFailure(last);
    bridge::sendNotice(app, "Lost track of the build: " + failure, true);
    bridge::sendSpeciesRemote(app, job.root, job.name, "lost", failure);
}

void reportEnded(bridge::App& app, const TrackedJob& job, const std::string& state,
                 const std::string& answer) {
    const std::string error = bridge::jsonString(answer, "error");
    // A job file left behind only offers Resume for a job that is over.
    if (platform::Result<> removed = platform::removeFile(jobFilePath(job.root, job.name));
        !removed)
        bridge::reportFailure("Could not remove " + jobFilePath(job.root, job.name),
                              removed.error());
    if (state == "failed") {
        bridge::sendNotice(
            app, "Build failed: " + (error.empty() ? std::string("see the log") : error), true);
    } else {
        bridge::sendNotice(app, "Build cancelled.", false);
    }
    bridge::sendSpeciesRemote(app, job.root, job.name, state, error);
}

// After buildCancel the service should say "cancelled" at the next poll; one that does not
// within these polls (about ten seconds) is followed no further.
constexpr int kPollsAfterStop = 5;

void reportStopped(bridge::App& app, const TrackedJob& job) {
    bridge::sendNotice(app,
                       "Stopped following the build: the build service did not confirm the cancel. "
                       "Resume the build to follow it again.",
                       true);
    bridge::sendSpeciesRemote(app, job.root, job.name, "lost", "Cancel not confirmed");
}

// Polls until the job ends or is lost, and deals with the end.
void follow(bridge::App& app, const TrackedJob& job, Poll& poll) {
    const std::string workspace = species::workspaceFolder(job.root, job.name);
    int pollsAfterStop = 0;
    while (true) {
        app.remoteTimings.wait(app.remoteTimings.pollMs);
        if (app.followedSpecies.stopAsked(workspace) && ++pollsAfterStop > kPollsAfterStop) {
            reportStopped(app, job);
            return;
        }
        bridge::BuildServiceResponse status =
            bridge::buildServiceRequest(job.timeouts, "GET", "/api/jobs/" + job.id,
                                        bridge::bearerHeader(poll.token), {}, {}, {});
        if (status.status != 200 || !status.error.empty()) {
            if (status.status == 404 || status.status == 401 ||
                poll.failures + 1 >= kPollFailuresLost) {
                reportLost(app, job, status);
                return;
            }
            ++poll.failures;
            continue;
        }
        const std::string answer = bridge::fromUtf8(status.body);
        const std::string state = bridge::jsonString(answer, "state");
        followLog(app, job, poll);
        showDetail(app, job, poll, state, answer);
        if (state == "done") {
            installResult(app, job, poll.token);
            return;
        }
        if (state == "failed" || state == "cancelled") {
            reportEnded(app, job, state, answer);
            return;
        }
        poll.failures = 0;
    }
}

}  // namespace

void trackJob(bridge::App& app, const TrackedJob& job) {
    Poll poll;
    poll.token = bridge::loadCredentials().token;
    follow(app, job, poll);
    species::sendSpeciesMessage(app);
}

}  // namespace remote
