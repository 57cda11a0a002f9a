#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace bridge {
struct App;
}  // namespace bridge

namespace remote {

// Remote build workers run on detached threads. Each is counted in app.workers from
// the moment it is started until its last message is posted, so a headless host can wait for
// it, and anything it throws becomes an error notice naming `command`.
void startRemoteWorker(bridge::App& app, std::string_view command, std::function<void()> work);

// A command's hold on a workspace in app.followedSpecies. Until a worker takes it over it is
// let go when the command ends, however it ends (a thread that could not be started too), so
// no species is left followed by nobody.
class FollowClaim {
  public:
    FollowClaim(bridge::App& app, std::string workspace);
    ~FollowClaim();
    FollowClaim(const FollowClaim&) = delete;
    FollowClaim& operator=(const FollowClaim&) = delete;

    // False when another build or tracker follows the workspace.
    explicit operator bool() const { return held_; }
    const std::string& workspace() const { return workspace_; }

    // The worker now holds it and lets go with whileFollowing.
    void handedOver() { held_ = false; }

  private:
    bridge::App& app_;
    std::string workspace_;
    bool held_;
};

// Runs `work` and then lets go of `workspace` in app.followedSpecies, however `work` ends.
void whileFollowing(bridge::App& app, const std::string& workspace,
                    const std::function<void()>& work);

}  // namespace remote
