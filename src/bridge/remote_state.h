#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace bridge {

// Process-wide values of the remote build that App holds for its workers.

// The remote build's waits. Workers never sleep directly but through `wait`, so tests can
// record the waits asked for and skip them instead of spending real seconds.
struct RemoteTimings {
    // Before every poll of a job's state.
    std::uint32_t pollMs = 2000;
    // A failed upload part waits this times the failed attempts so far: 2, 4 and 6 seconds.
    std::uint32_t retryStepMs = 2000;
    // How long the sign-in listener waits for the browser's answer.
    std::uint32_t signInMs = 300000;
    std::function<void(std::uint32_t ms)> wait = [](std::uint32_t ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
};

// The species workspaces that a remote build follows right now, by workspace path. A second
// tracker of the same species would share its download folder and its job file with the
// first, each deleting what the other still needs; so one at a time.
class FollowedSpecies {
  public:
    // True when the workspace was not followed and now is.
    bool tryClaim(const std::string& workspace) {
        std::lock_guard lock(mutex_);
        return stopAsked_.emplace(workspace, false).second;
    }
    void release(const std::string& workspace) {
        std::lock_guard lock(mutex_);
        stopAsked_.erase(workspace);
    }

    // Asks whoever follows the workspace to stop (buildCancel); nothing when nobody does.
    void askToStop(const std::string& workspace) {
        std::lock_guard lock(mutex_);
        auto found = stopAsked_.find(workspace);
        if (found != stopAsked_.end()) found->second = true;
    }
    bool stopAsked(const std::string& workspace) {
        std::lock_guard lock(mutex_);
        auto found = stopAsked_.find(workspace);
        return found != stopAsked_.end() && found->second;
    }

  private:
    std::mutex mutex_;
    std::map<std::string, bool> stopAsked_;
};

}  // namespace bridge
