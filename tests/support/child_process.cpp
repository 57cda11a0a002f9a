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

ChildProcess::ChildProcess(const Options& options) : deadline_(Clock::now() + options.timeout) {
    // A child that exits early must not kill the test with SIGPIPE.
    if (options.in == Stream::Pipe) ::signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::vector<int> childEnds;
    bool piped = connectStream(actions, STDIN_FILENO, options.in, in_, childEnds) &&
                 connectStream(actions, STDOUT_FILENO, options.out, out_, childEnds);
    if (piped && options.errFile.empty()) {
        piped = connectStream(actions, STDERR_FILENO, options.err, err_, childEnds);
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
        piped ? ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) : errno;
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : childEnds)
        ::close(fd);
    if (rc != 0) {
        pid_ = -1;
        for (int* fd : {&in_, &out_, &err_}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
        if (options.throwIfNotStarted) {
            throw std::runtime_error("cannot start " + argStore[0] + ": " + std::strerror(rc));
        }
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !exited_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0) ::close(fd);
}

template <typename Done>
void ChildProcess::pump(Done done, Clock::time_point until) {
    char buffer[1 << 16];
    while (!done() && (out_ >= 0 || err_ >= 0)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return;
        std::vector<pollfd> fds;
        if (in_ >= 0 && !pending_.empty()) fds.push_back({in_, POLLOUT, 0});
        if (out_ >= 0) fds.push_back({out_, POLLIN, 0});
        if (err_ >= 0) fds.push_back({err_, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            if (p.fd == in_) {
                ssize_t n = ::write(in_, pending_.data(), pending_.size());
                if (n > 0) {
                    pending_.erase(0, static_cast<std::size_t>(n));
                } else if (n < 0 && errno == EPIPE) {
                    closeInput();  // the child stopped reading; the rest is not needed
                }
                continue;
            }
            int& fd = p.fd == out_ ? out_ : err_;
            std::string& into = p.fd == out_ ? out : err;
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

void ChildProcess::write(const std::string& bytes) {
    pending_ += bytes;
    pump([&] { return pending_.empty(); }, deadline_);
}

void ChildProcess::closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    pending_.clear();
}

std::optional<std::string> ChildProcess::readLine() {
    pump([&] { return out.find('\n', taken_) != std::string::npos; }, deadline_);
    std::size_t feed = out.find('\n', taken_);
    if (feed == std::string::npos) return std::nullopt;
    std::string line = out.substr(taken_, feed - taken_);
    taken_ = feed + 1;
    return line;
}

std::string ChildProcess::firstLine(Clock::duration limit) {
    pump([&] { return out.find('\n') != std::string::npos; }, Clock::now() + limit);
    return out.substr(0, out.find('\n'));
}

std::string ChildProcess::readOutput(Clock::duration limit) {
    pump([] { return false; }, Clock::now() + limit);
    return out;
}

bool ChildProcess::waitForError(const std::string& text, Clock::duration limit) {
    pump([&] { return err.find(text) != std::string::npos; }, Clock::now() + limit);
    return err.find(text) != std::string::npos;
}

int ChildProcess::wait(bool closeInputFirst) {
    if (closeInputFirst) closeInput();
    return finish(deadline_);
}

int ChildProcess::waitExit(Clock::duration limit) {
    return finish(Clock::now() + limit);
}

void ChildProcess::signal(int number) {
    if (pid_ > 0 && !exited_) ::kill(pid_, number);
}

bool ChildProcess::hasExited() const {
    siginfo_t info{};
    // WNOWAIT leaves the child to be reaped below, so its id cannot be reused meanwhile.
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
}

int ChildProcess::finish(Clock::time_point until) {
    if (pid_ <= 0) return -1;
    if (exited_) return exitCode_;
    using namespace std::chrono_literals;
    while (true) {
        pump([] { return false; }, std::min(until, Clock::now() + 50ms));
        const bool pipesEnded = out_ < 0 && err_ < 0;
        if (pipesEnded && hasExited()) break;
        if (Clock::now() >= until) {
            timedOut = true;
            ::kill(pid_, SIGKILL);
            break;
        }
        if (pipesEnded) std::this_thread::sleep_for(10ms);
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exited_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode_;
}
