// Uploads a 512 MiB file from disk through buildServiceRequest to the fake build service on
// loopback, against `curl -T` of the same file to the same server, interleaved in one run so
// machine noise hits both alike. Reports median throughputs, their ratio, and the peak
// resident memory of this (the uploading) process.
//
//   build/bench/upload_bench [MiB]

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bridge/build_service.h"
#include "platform/paths.h"
#include "timing.h"

extern char** environ;

namespace {

// VmHWM of this process, in MiB.
double peakResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return -1;
}

pid_t spawn(std::vector<std::string> args, int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Starts the fake with a script that accepts any PUT to /bench; returns its base URL.
std::string startFake(pid_t& pid, const std::string& scriptPath) {
    std::ofstream(scriptPath) << R"({"rules":[{"method":"PUT","path":"/bench","status":200}]})";
    int out[2];
    if (::pipe(out) != 0) return {};
    std::string fake = platform::executableFolder() + "/../fakes/fake-build-service";
    pid = spawn({fake, "--script", scriptPath}, out[1]);
    ::close(out[1]);
    std::string url;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        url += c;
    ::close(out[0]);
    return url;
}

void writeFile(const std::string& path, std::size_t mib) {
    std::ofstream file(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < mib; ++i) {
        for (std::size_t j = 0; j < block.size(); j += 4096)
            block[j] = static_cast<char>(i + j);
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

bool curlUpload(const std::string& file, const std::string& url) {
    pid_t pid = spawn({"curl", "-s", "-f", "-o", "/dev/null", "-T", file, url + "/bench"}, -1);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    std::string folder = "/tmp/upload_bench." + std::to_string(::getpid());
    std::string file = folder + ".bin", script = folder + ".json";
    writeFile(file, mib);
    pid_t fakePid = -1;
    std::string url = startFake(fakePid, script);
    if (url.empty()) {
        std::fprintf(stderr, "the fake build service did not start\n");
        return 1;
    }
    ::setenv("VARRAFORGESET_BUILD_URL", url.c_str(), 1);
    ::setenv("no_proxy", "*", 1);
    double before = peakResidentMiB();
    std::vector<double> ours, theirs;
    for (int round = 0; round < 3; ++round) {
        Clock::time_point start = Clock::now();
        bridge::BuildServiceResponse r = bridge::buildServiceRequest(
            {}, "PUT", "/bench", "Content-Type: application/octet-stream\r\n", file, "", "");
        ours.push_back(seconds(start));
        if (r.status != 200)
            std::fprintf(stderr, "upload: %s\n", bridge::describeFailure(r).c_str());
        start = Clock::now();
        if (!curlUpload(file, url)) std::fprintf(stderr, "curl -T failed\n");
        theirs.push_back(seconds(start));
    }
    double ourRate = static_cast<double>(mib) / median(ours);
    double curlRate = static_cast<double>(mib) / median(theirs);
    std::printf("upload of %zu MiB, median of 3\n", mib);
    std::printf("  buildServiceRequest  %8.1f MiB/s\n", ourRate);
    std::printf("  curl -T              %8.1f MiB/s\n", curlRate);
    std::printf("  ratio                %8.2f (goal >= 0.8)\n", ourRate / curlRate);
    std::printf("  peak resident        %8.1f MiB (%.1f MiB before the uploads; goal < 64 MB)\n",
                peakResidentMiB(), before);
    ::kill(fakePid, SIGTERM);
    ::waitpid(fakePid, nullptr, 0);
    std::remove(file.c_str());
    std::remove(script.c_str());
}
