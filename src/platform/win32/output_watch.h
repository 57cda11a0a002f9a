#pragma once
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/handle.h"

namespace platform::win32 {

// Windows sets no limit on the size of the files a process writes, so the nearest sound thing
// is to look: a thread reads, every few milliseconds, the size of every file below the folders
// a child was told to write into, and ends the child's job (the child and all it started) as
// soon as one is larger than the limit. A file can overshoot the limit by what the child writes
// between two looks before it ends; a file outside those folders is not watched.
class OutputWatch {
  public:
    OutputWatch(HANDLE job, std::vector<std::string> folders, std::uint64_t limit);
    OutputWatch(const OutputWatch&) = delete;
    OutputWatch& operator=(const OutputWatch&) = delete;
    // Stops looking.
    ~OutputWatch();

  private:
    void watch();

    OwnedHandle job_;
    std::vector<std::string> folders_;
    std::uint64_t limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

// The arguments after the program that name existing folders: where a child such as an
// archiver is told to write.
std::vector<std::string> watchedFolders(const std::vector<std::string>& argv);

}  // namespace platform::win32
