// fake-build-service-pool: starts fake build services on request, one per test, for test
// programs that cannot start a Linux program and keep hold of it themselves: the Windows tests
// under Wine. CTest runs `start` before those tests and `stop` after them.
//
//   fake-build-service-pool start URLFILE FAKE   puts the pool in the background, on a free
//                                                loopback port, and exits once URLFILE holds
//                                                its base URL; FAKE is the fake to start
//   fake-build-service-pool stop URLFILE         ends the pool and every fake it started
//
// The pool answers POST /start with the base URL of a new fake, POST /end/<port> by ending
// that fake, and POST /stop by ending everything. Left alone for half an hour it ends itself,
// so an interrupted run leaves nothing behind for long.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "../build_service/wire.h"

extern char** environ;

namespace {

constexpr int kIdleLimitMs = 30 * 60 * 1000;

std::uint64_t keepSmallBodies(const WireRequest&) {
    return 4096;
}

// Starts the fake and reads the base URL it prints first; empty when it did not.
std::string startFake(const std::string& program, std::map<int, pid_t>& fakes) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    if (rc == 0) {
        pollfd wait{out[0], POLLIN, 0};
        char c;
        while (line.find('\n') == std::string::npos && ::poll(&wait, 1, 20000) > 0 &&
               ::read(out[0], &c, 1) == 1)
            line += c;
    }
    ::close(out[0]);
    if (!line.ends_with("\n") || !line.starts_with("http://127.0.0.1:")) {
        if (rc == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        return {};
    }
    line.pop_back();
    fakes[std::stoi(line.substr(line.rfind(':') + 1))] = pid;
    return line;
}

void endFake(std::map<int, pid_t>& fakes, int port) {
    auto found = fakes.find(port);
    if (found == fakes.end()) return;
    ::kill(found->second, SIGKILL);
    ::waitpid(found->second, nullptr, 0);
    fakes.erase(found);
}

void endAll(std::map<int, pid_t>& fakes) {
    while (!fakes.empty())
        endFake(fakes, fakes.begin()->first);
}

void serve(int listener, const std::string& fake) {
    std::map<int, pid_t> fakes;
    for (;;) {
        pollfd wait{listener, POLLIN, 0};
        if (::poll(&wait, 1, kIdleLimitMs) <= 0) break;
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        WireRequest request;
        bool stop = false;
        if (readRequest(fd, request, keepSmallBodies)) {
            WireAnswer answer{200, "text/plain", {}, {}};
            if (request.method == "POST" && request.path == "/start") {
                answer.body = startFake(fake, fakes);
                if (answer.body.empty()) answer = {500, "text/plain", {}, "the fake did not start"};
            } else if (request.method == "POST" && request.path.starts_with("/end/")) {
                endFake(fakes, std::atoi(request.path.c_str() + 5));
            } else if (request.method == "POST" && request.path == "/stop") {
                endAll(fakes);
                stop = true;
            } else {
                answer = {404, "text/plain", {}, "no such pool endpoint"};
            }
            sendAnswer(fd, answer);
        }
        ::close(fd);
        if (stop) break;
    }
    endAll(fakes);
}

int listenOnLoopback() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return fd;
}

// The background pool must hold nothing of the process that started it: CTest waits for the
// end of every output pipe of a test, so an inherited one would keep the test from ending.
void detachFromStarter() {
    ::setsid();
    int null = ::open("/dev/null", O_RDWR);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::dup2(null, fd);
    for (int fd = 3; fd < 1024; ++fd)
        ::close(fd);
}

int start(const std::string& urlFile, const std::string& fake) {
    std::filesystem::remove(urlFile);
    pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        detachFromStarter();
        ::signal(SIGPIPE, SIG_IGN);
        int listener = listenOnLoopback();
        if (listener < 0) ::_exit(1);
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        {
            // Written under another name first, so a reader never sees half an address.
            std::ofstream out(urlFile + ".part");
            out << "http://127.0.0.1:" << ntohs(address.sin_port) << "\n";
        }
        std::filesystem::rename(urlFile + ".part", urlFile);
        serve(listener, fake);
        ::_exit(0);
    }
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(urlFile);
        std::string url;
        if (std::getline(in, url) && !url.empty()) {
            std::cout << "fake build service pool at " << url << "\n";
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::cerr << "fake-build-service-pool: the pool did not start\n";
    return 1;
}

int stop(const std::string& urlFile) {
    std::ifstream in(urlFile);
    std::string url;
    std::getline(in, url);
    in.close();
    std::filesystem::remove(urlFile);
    if (!url.starts_with("http://127.0.0.1:")) return 0;  // nothing was running
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(url.substr(17))));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return 0;  // it had ended itself
    }
    const std::string request =
        "POST /stop HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n";
    (void)!::write(fd, request.data(), request.size());
    // The answer comes once every fake has ended.
    char buffer[256];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "start" && argc == 4) return start(argv[2], argv[3]);
    if (mode == "stop" && argc == 3) return stop(argv[2]);
    std::cerr << "usage: fake-build-service-pool start URLFILE FAKE | stop URLFILE\n";
    return 2;
}
