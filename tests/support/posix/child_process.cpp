#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

struct ChildProcess::Handles {
    pid_t pid = -1;
    bool exited = false;
    int exitCode = -1;
    int in = -1, out = -1, err = -1;
};

namespace {

// The child's side of one stream: a pipe end (the other end kept in `parentEnd`) or
// /dev/null. False when no pipe could be made.
bool connectStream(posix_spawn_file_actions_t& actions, int target, ChildProcess::Stream stream,
                   int& parentEnd, std::vector<int>& childEnds) {
    const bool childReads = target == STDIN_FILENO;
    if (stream == ChildProcess::Stream::Null) {
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                         childReads ? O_RDONLY : O_WRONLY, 0);
        return true;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    parentEnd = childReads ? ends[1] : ends[0];
    childEnds.push_back(childReads ? ends[0] : ends[1]);
    posix_spawn_file_actions_adddup2(&actions, childEnds.back(), target);
    ::fcntl(parentEnd, F_SETFL, ::fcntl(parentEnd, F_GETFL) | O_NONBLOCK);
    return true;
}

}  // namespace

ChildProcess::ChildProcess(const Options& options)
    : handles_(std::make_unique<Handles>()), deadline_(Clock::now() + options.timeout) {
    Handles& h = *handles_;
    // A child that exits early must not kill the test with SIGPIPE.
    if (options.in == Stream::Pipe) ::signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::vector<int> childEnds;
    bool piped = connectStream(actions, STDIN_FILENO, options.in, h.in, childEnds) &&
                 connectStream(actions, STDOUT_FILENO, options.out, h.out, childEnds);
    if (piped && options.errFile.empty()) {
        piped = connectStream(actions, STDERR_FILENO, options.err, h.err, childEnds);
    } else if (piped) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }

    std::vector<std::string> argStore{options.program};
    argStore.insert(argStore.end(), options.args.begin(), options.args.end());
    std::vector<std::string> envStore;
    if (options.inheritEnv) {
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            if (!options.env.count(entry.substr(0, entry.find('=')))) envStore.push_back(entry);
        }
    }
    for (const auto& [name, value] : options.env)
        envStore.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int rc =
        piped ? ::posix_spawn(&h.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) : errno;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : childEnds)
        ::close(fd);
    if (rc != 0) {
        h.pid = -1;
        for (int* fd : {&h.in, &h.out, &h.err}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
        if (options.throwIfNotStarted) {
            throw std::runtime_error("cannot start " + argStore[0] + ": " + std::strerror(rc));
        }
    }
}

ChildProcess::~ChildProcess() {
    Handles& h = *handles_;
    if (h.pid > 0 && !h.exited) {
        ::kill(h.pid, SIGKILL);
        ::waitpid(h.pid, nullptr, 0);
    }
    for (int fd : {h.in, h.out, h.err})
        if (fd >= 0) ::close(fd);
}

bool ChildProcess::started() const {
    return handles_->pid > 0;
}

pid_t ChildProcess::pid() const {
    return handles_->pid;
}

void ChildProcess::pump(const std::function<bool()>& done, Clock::time_point until) {
    Handles& h = *handles_;
    char buffer[1 << 16];
    while (!done() && (h.out >= 0 || h.err >= 0)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return;
        std::vector<pollfd> fds;
        if (h.in >= 0 && !pending_.empty()) fds.push_back({h.in, POLLOUT, 0});
        if (h.out >= 0) fds.push_back({h.out, POLLIN, 0});
        if (h.err >= 0) fds.push_back({h.err, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            if (p.fd == h.in) {
                ssize_t n = ::write(h.in, pending_.data(), pending_.size());
                if (n > 0) {
                    pending_.erase(0, static_cast<std::size_t>(n));
                } else if (n < 0 && errno == EPIPE) {
                    closeInput();  // the child stopped reading; the rest is not needed
                }
                continue;
            }
            int& fd = p.fd == h.out ? h.out : h.err;
            std::string& into = p.fd == h.out ? out : err;
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                into.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                ::close(fd);
                fd = -1;
            }
        }
    }
}

void ChildProcess::closeInput() {
    Handles& h = *handles_;
    if (h.in >= 0) ::close(h.in);
    h.in = -1;
    pending_.clear();
}

void ChildProcess::signal(int number) {
    Handles& h = *handles_;
    if (h.pid > 0 && !h.exited) ::kill(h.pid, number);
}

namespace {

bool hasExited(pid_t pid) {
    siginfo_t info{};
    // WNOWAIT leaves the child to be reaped below, so its id cannot be reused meanwhile.
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

}  // namespace

int ChildProcess::finish(Clock::time_point until) {
    Handles& h = *handles_;
    if (h.pid <= 0) return -1;
    if (h.exited) return h.exitCode;
    using namespace std::chrono_literals;
    while (true) {
        pump([] { return false; }, std::min(until, Clock::now() + 50ms));
        const bool pipesEnded = h.out < 0 && h.err < 0;
        if (pipesEnded && hasExited(h.pid)) break;
        if (Clock::now() >= until) {
            timedOut = true;
            ::kill(h.pid, SIGKILL);
            break;
        }
        if (pipesEnded) std::this_thread::sleep_for(10ms);
    }
    int status = 0;
    ::waitpid(h.pid, &status, 0);
    h.exited = true;
    h.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return h.exitCode;
}
