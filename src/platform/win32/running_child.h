#pragma once
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/handle.h"

namespace platform::win32 {

// A child started for the process runners: both output streams on one pipe that we read with
// a time limit, no standard input, no window, and a Job object of its own that holds it and
// everything it starts, so that one call ends them all.
class RunningChild {
  public:
    using Clock = std::chrono::steady_clock;

    // Nothing when no pipe, job or process could be made, or argv[0] is a command script:
    // cmd.exe would read the arguments again by its own rules, which no quoting makes safe.
    static std::unique_ptr<RunningChild> start(const std::vector<std::string>& argv);

    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;
    ~RunningChild();

    enum class Read { data, ended, timedOut };
    // Reads what the pipe has, at most `size` bytes, waiting until `deadline` for the first
    // one; `ended` once every holder of the write end closed it.
    Read read(char* buffer, std::size_t size, std::size_t& got, Clock::time_point deadline);

    // The output has ended or the time ran out: gives the child the rest of the time to exit
    // and ends its job when the time is up. Anything still in the job afterwards (a helper
    // that let go of its output) ends with the job. True when the time limit ended the child.
    bool finish(bool timedOut, Clock::time_point deadline);

    HANDLE job() const { return job_.get(); }

  private:
    RunningChild() = default;

    OwnedHandle job_;
    OwnedHandle process_;
    OwnedHandle readEnd_;
    OwnedHandle readDone_;
    OVERLAPPED overlapped_{};
    bool finished_ = false;
};

}  // namespace platform::win32
