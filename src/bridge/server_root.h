#pragma once
#include <functional>
#include <mutex>
#include <string>

namespace bridge {

// The chosen server folder. Commands change it on the dispatching thread while imports,
// builds and trackers started for an earlier folder may still be posting: they read it here,
// under a lock, and post what belongs to one folder only while that folder is still the one
// chosen, so the page never takes another folder's workspaces or log lines for its own.
class ServerRoot {
  public:
    // For the dispatching thread, the only one that changes it, so it needs no lock.
    const std::string& path() const { return path_; }
    bool empty() const { return path_.empty(); }

    // A copy for any thread.
    std::string current() const;

    // Dispatching thread only.
    void set(std::string path);

    // Runs `post` while `root` is the chosen folder, holding off any change until it returns;
    // false, and `post` not run, when another folder has been chosen meanwhile.
    bool whileCurrent(const std::string& root, const std::function<void()>& post) const;

  private:
    mutable std::mutex mutex_;
    std::string path_;
};

}  // namespace bridge
