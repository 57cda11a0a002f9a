#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace bridge {

// How many workers (imports, local builds, the remote build's sign-in, uploads, trackers and
// cancels) are running, so a headless host at the end of its input can wait for their last
// messages.
class WorkerCount {
  public:
    void enter() {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    void leave() {
        std::lock_guard lock(mutex_);
        if (--running_ == 0) idle_.notify_all();
    }
    void waitIdle() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return running_ == 0; });
    }
    bool idle() {
        std::lock_guard lock(mutex_);
        return running_ == 0;
    }

    // Starts one worker thread and lets it go. Starting a thread can fail (the system is out
    // of threads or memory) and then throws; tests put a failing one here to see that every
    // command lets go of what it claimed.
    std::function<void(std::function<void()>)> launch = [](std::function<void()> run) {
        std::thread(std::move(run)).detach();
    };

  private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int running_ = 0;
};

// Runs `work` on a new detached thread, counted in `count` from now until `work` has returned
// (so until after its last message).
void startCountedWorker(WorkerCount& count, std::function<void()> work);

}  // namespace bridge
