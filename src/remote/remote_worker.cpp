#include "remote/remote_worker.h"

#include <string>

#include "bridge/app.h"
#include "bridge/dispatcher.h"

namespace remote {

void startRemoteWorker(bridge::App& app, std::string_view command, std::function<void()> work) {
    bridge::startCountedWorker(app.workers,
                               [&app, name = std::string(command), work = std::move(work)] {
                                   bridge::runReportingFailures(app, name, work);
                               });
}

FollowClaim::FollowClaim(bridge::App& app, std::string workspace)
    : app_(app),
      workspace_(std::move(workspace)),
      held_(app.followedSpecies.tryClaim(workspace_)) {}

FollowClaim::~FollowClaim() {
    if (held_) app_.followedSpecies.release(workspace_);
}

void whileFollowing(bridge::App& app, const std::string& workspace,
                    const std::function<void()>& work) {
    struct Release {
        bridge::App& app;
        const std::string& workspace;
        ~Release() { app.followedSpecies.release(workspace); }
    } release{app, workspace};
    work();
}

}  // namespace remote
