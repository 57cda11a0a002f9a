#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <thread>

#include "platform/posix/child_groups.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Closes every descriptor from 3 up in the child, so that only the pipe's write end (now
// standard output and error) passes on: a concurrent call's pipe must not be held open by
// our child. close_range is one call; the loop is the fallback for older kernels.
void closeInheritedDescriptors() {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3u, ~0u, 0u) == 0) return;
#endif
    long max = ::sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (max > 0 ? max : 1024); ++fd)
        ::close(fd);
}

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 60000));
}

// Waits until the child exits or the deadline passes; false on the deadline.
bool waitForExit(pid_t child, Clock::time_point deadline) {
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    if (pidFd >= 0) {
        pollfd p{pidFd, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, millisecondsLeft(deadline));
        } while ((ready < 0 && errno == EINTR) || (ready == 0 && Clock::now() < deadline));
        ::close(pidFd);
        return ready > 0;
    }
    // Kernels without pidfd: look every few milliseconds.
    while (Clock::now() < deadline) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Starts the program with both output streams on one pipe whose read end comes back in
// `readEnd`; -1 when no pipe or process could be made. A program that cannot be executed
// still gives a child, which ends at once without output.
pid_t startChild(const std::vector<std::string>& argv, int& readEnd,
                 std::uint64_t fileSizeLimit = 0) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t parent = ::getpid();
    pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return -1;
    }
    if (child == 0) {
        // Its own process group: at the time limit the child and whatever it started end
        // together with one signal.
        ::setpgid(0, 0);
        // Should the waiting thread die before the group is noted (a signal in between),
        // the child still goes with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull >= 0 ? devNull : pipeFds[1], STDIN_FILENO);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        closeInheritedDescriptors();
        if (fileSizeLimit > 0) {
            // Past it the kernel sends SIGXFSZ, which ends the child.
            rlimit limit{fileSizeLimit, fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // Also set from this side, so the group exists before any kill below.
    ::setpgid(child, child);
    rememberChildGroup(child);
    ::close(pipeFds[1]);
    readEnd = pipeFds[0];
    return child;
}

// True when the pipe has something to read (or has ended); false once the deadline passed.
bool waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, millisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0 && Clock::now() < deadline) continue;
        return ready != 0;
    }
}

// The output has ended, or the time ran out: gives the child the rest of the time to exit
// (a pidfd lets us sleep exactly until it does), kills its group when the time is up, and
// reaps it. True when the time limit ended it.
bool finishChild(pid_t child, bool timedOut, Clock::time_point deadline) {
    if (!timedOut) timedOut = !waitForExit(child, deadline);
    if (timedOut) ::kill(-child, SIGKILL);
    forgetChildGroup(child);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return timedOut;
}

}  // namespace

namespace {

std::string capture(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                    bool* timedOutAtLimit, std::uint64_t fileSizeLimit) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int readEnd = -1;
    const pid_t child = startChild(argv, readEnd, fileSizeLimit);
    if (child < 0) return {};

    // A larger pipe lets a chatty child write on while we copy; reads go straight into the
    // result's free tail, so each byte is copied once.
    ::fcntl(readEnd, F_SETPIPE_SZ, 1 << 20);
    std::string output;
    std::size_t used = 0;
    bool timedOut = false;
    for (;;) {
        if (!waitReadable(readEnd, deadline)) {
            timedOut = true;
            break;
        }
        if (output.size() - used < 65536) output.resize(std::max<std::size_t>(used * 2, 1 << 16));
        ssize_t n = ::read(readEnd, output.data() + used, output.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    output.resize(used);
    ::close(readEnd);
    timedOut = finishChild(child, timedOut, deadline);
    if (timedOutAtLimit) *timedOutAtLimit = timedOut;
    return output;
}

}  // namespace

std::string runCaptured(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                        bool* timedOutAtLimit) {
    return capture(argv, timeoutMs, timedOutAtLimit, 0);
}

std::string runCapturedWithFileLimit(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                                     std::uint64_t fileSizeLimit) {
    return capture(argv, timeoutMs, nullptr, fileSizeLimit);
}

bool runStreaming(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                  const std::function<void(std::string_view)>& onOutput) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int readEnd = -1;
    const pid_t child = startChild(argv, readEnd);
    if (child < 0) return true;
    char block[4096];
    bool timedOut = false;
    for (;;) {
        if (!waitReadable(readEnd, deadline)) {
            timedOut = true;
            break;
        }
        ssize_t n = ::read(readEnd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        onOutput(std::string_view(block, static_cast<std::size_t>(n)));
    }
    ::close(readEnd);
    return !finishChild(child, timedOut, deadline);
}

std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

}  // namespace platform
