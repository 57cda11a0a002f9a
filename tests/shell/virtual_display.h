#pragma once
// A private X server in memory for the window tests, so they run the same on a desktop, over
// SSH and in CI, and never open a window on someone's screen.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

class VirtualDisplay {
  public:
    VirtualDisplay(int width, int height) {
        int ready[2];
        if (::pipe(ready) != 0) {
            error_ = "pipe failed";
            return;
        }
        // Xvfb picks a free display number itself and writes it to `ready`, so parallel
        // tests never race for one.
        std::vector<std::string> args = {
            "Xvfb",      "-displayfd", std::to_string(ready[1]),
            "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
            "-nolisten", "tcp",        "-noreset"};
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string program = findProgram("Xvfb");
        if (program.empty()) {
            ::close(ready[0]);
            ::close(ready[1]);
            error_ = "cannot find Xvfb (install the xvfb package)";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            // The server goes when the test process goes, however that ends.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(ready[0]);
            int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, STDOUT_FILENO);
            ::dup2(devnull, STDERR_FILENO);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(ready[1]);
        if (pid_ < 0) {
            ::close(ready[0]);
            error_ = "cannot start Xvfb";
            return;
        }
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && ::poll(&wait, 1, 20000) > 0) {
            char buffer[32];
            ssize_t n = ::read(ready[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(ready[0]);
        if (number.find('\n') == std::string::npos) {
            error_ = "Xvfb did not report its display";
            return;
        }
        name_ = ":" + number.substr(0, number.find('\n'));
    }

    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // One server for the whole test process: the toolkit opens its display once per process
    // and cannot lose it while the process lives.
    static VirtualDisplay& shared() {
        static VirtualDisplay display(1280, 860);
        return display;
    }

    // ":N", or empty when the server could not be started (see error()).
    const std::string& name() const { return name_; }
    const std::string& error() const { return error_; }

  private:
    static std::string findProgram(const std::string& name) {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        std::size_t start = 0;
        while (start <= dirs.size()) {
            std::size_t end = dirs.find(':', start);
            if (end == std::string::npos) end = dirs.size();
            std::string candidate = dirs.substr(start, end - start) + "/" + name;
            if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
            start = end + 1;
        }
        return {};
    }

    pid_t pid_ = -1;
    std::string name_;
    std::string error_;
};
