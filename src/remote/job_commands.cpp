#include <string>

#include "bridge/app.h"
#include "bridge/build_service.h"
#include "bridge/credentials.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "remote/commands.h"
#include "remote/job_tracker.h"
#include "remote/remote_paths.h"
#include "remote/remote_worker.h"
#include "species/workspace.h"

namespace remote {

namespace {

// The stored job of the species the message names; empty when there is no server folder,
// the name breaks the rule, or the job file holds no valid id. These commands stay silent
// then: only a page out of step with the disk sends them.
std::string storedJob(const bridge::App& app, const std::string& name) {
    if (app.serverRoot.empty() || !species::isSpeciesName(name)) return {};
    return readJobId(app.serverRoot.path(), name);
}

void cancelWorker(bridge::App& app, const std::string& id, const std::string& token,
                  const platform::HttpTimeouts& timeouts) {
    bridge::BuildServiceResponse response = bridge::buildServiceRequest(
        timeouts, "POST", "/api/jobs/" + id + "/cancel", bridge::bearerHeader(token), {}, {}, {});
    // The tracker sees the job become "cancelled" and says so.
    if (response.status == 200 && response.error.empty()) return;
    bridge::sendNotice(app, "Cancel failed: " + bridge::describeFailure(response), true);
}

}  // namespace

namespace command {

void buildResume(bridge::App& app, const std::string& message) {
    const std::string name = bridge::jsonString(message, "name");
    std::string id = storedJob(app, name);
    if (id.empty()) return;
    FollowClaim follow(app, species::workspaceFolder(app.serverRoot.path(), name));
    if (!follow) {
        bridge::sendNotice(app, kAlreadyFollowed, true);
        return;
    }
    TrackedJob job{app.serverRoot.path(), name, std::move(id), app.buildServiceTimeouts};
    startRemoteWorker(app, "buildResume",
                      [&app, job = std::move(job), workspace = follow.workspace()] {
                          whileFollowing(app, workspace, [&] { trackJob(app, job); });
                      });
    follow.handedOver();
}

void buildCancel(bridge::App& app, const std::string& message) {
    const std::string name = bridge::jsonString(message, "name");
    std::string id = storedJob(app, name);
    if (id.empty()) return;
    // Our own tracker of the job stops too, its download included, should the service not
    // confirm the cancel or the result crawl in.
    app.followedSpecies.askToStop(species::workspaceFolder(app.serverRoot.path(), name));
    startRemoteWorker(
        app, "buildCancel",
        [&app, id = std::move(id), token = bridge::loadCredentials().token,
         timeouts = app.buildServiceTimeouts] { cancelWorker(app, id, token, timeouts); });
}

}  // namespace command

}  // namespace remote
