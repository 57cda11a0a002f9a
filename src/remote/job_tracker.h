#pragma once
#include <string>

#include "platform/http.h"

namespace bridge {
struct App;
}  // namespace bridge

namespace remote {

// What a tracker follows, copied when it starts: the server folder it installs into, the
// species and its job.
struct TrackedJob {
    std::string root;
    std::string name;
    std::string id;
    platform::HttpTimeouts timeouts;
};

// Follows a job until it ends or cannot be followed: a poll every 2 seconds, the new log
// lines as speciesLog messages, a speciesRemote message whenever the shown state changes;
// a done job's result is installed. Blocking; the caller holds the species in
// app.followedSpecies.
void trackJob(bridge::App& app, const TrackedJob& job);

// Polls in a row that may fail before a job counts as lost (about two minutes).
inline constexpr int kPollFailuresLost = 60;

}  // namespace remote
