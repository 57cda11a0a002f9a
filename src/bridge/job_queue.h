#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace bridge {

// One worker thread that runs jobs one at a time, in the order they were posted. Long
// commands run here so the host keeps answering others meanwhile, while their own messages
// keep the order in which the commands arrived.
class JobQueue {
  public:
    JobQueue();
    // Lets the running job finish, drops the jobs not started, and joins the worker.
    ~JobQueue();
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    void post(std::function<void()> job);

    // Blocks until every posted job has run.
    void waitIdle();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace bridge
