#include "platform/shell.h"

#include "platform/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

Result<> startDetached(const std::vector<std::string>& argv, const std::string& workingFolder,
                       const std::string& outputFile) {
    if (argv.empty()) return fail(EINVAL, "no program");
    int output = -1;
    if (!outputFile.empty()) {
        output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (output < 0) return fail(errno, "open the output file");
    }
    // Everything the child needs is prepared before fork: after it, in a threaded process,
    // only async-signal-safe calls are allowed.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();

    // The program reports a failed chdir or exec through this pipe; a successful exec closes
    // it (close-on-exec), so an empty read means the program runs.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        const int pipeError = errno;
        if (output >= 0) ::close(output);
        return fail(pipeError, "pipe");
    }
    pid_t child = ::fork();
    if (child < 0) {
        const int forkError = errno;
        ::close(report[0]);
        ::close(report[1]);
        if (output >= 0) ::close(output);
        return fail(forkError, "fork");
    }
    if (child == 0) {
        // The intermediate child starts a new session and forks the program, then exits at
        // once: the program is adopted by init, never becomes our zombie, and does not end
        // with our terminal or process group.
        ::close(report[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
        // Standard output is the tool's message channel in --stdio: what the program prints
        // goes to standard error instead, where the owner still sees it, or to its file.
        if (output >= 0) {
            ::dup2(output, STDOUT_FILENO);
            ::dup2(output, STDERR_FILENO);
        } else {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
        }
        if (folder == nullptr || ::chdir(folder) == 0) ::execv(args[0], args.data());
        int error = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    if (output >= 0) ::close(output);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    // The session's own process reports no number when its fork fails.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return fail(0, "start a session");
    if (n != 0) return fail(n > 0 ? error : 0, "start the program");
    return {};
}

void shellOpen(const std::string& target) {
    std::string opener = findProgram("xdg-open");
    if (opener.empty() || target.empty()) return;
    // Fire and forget, as promised: a desktop whose opener cannot start simply opens nothing.
    (void)startDetached({opener, target}, "");
}

}  // namespace platform
