#include "../fake_system.h"

#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace {

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace

void writeStdout(std::string_view text) {
    writeAll(STDOUT_FILENO, text);
}

void writeStderr(std::string_view text) {
    writeAll(STDERR_FILENO, text);
}

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

long currentProcessId() {
    return ::getpid();
}

long startCopy(const std::vector<std::string>& arguments) {
    std::vector<std::string> store{"/proc/self/exe"};
    store.insert(store.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : store)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return child;
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}
