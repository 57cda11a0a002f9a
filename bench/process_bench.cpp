// Measures what running a child through runCaptured costs against doing the same by hand:
// one short program (/bin/true) against a bare fork and exec, and capturing 200 MB of
// output against cat writing the same bytes to /dev/null. Both pairs run interleaved in
// the same process so machine noise hits them alike; medians are reported with their ratio.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "timing.h"

namespace {

// fork, exec, wait: the least any launcher can do.
void bareRun(const char* program, const char* arg, const char* stdoutFile) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        if (stdoutFile) dup2(open(stdoutFile, O_WRONLY), STDOUT_FILENO);
        execl(program, program, arg, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status;
    waitpid(pid, &status, 0);
}

}  // namespace

int main() {
    const int runs = 200;
    std::vector<double> captured, bare;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        platform::runCaptured({"/bin/true"}, 10000);
        captured.push_back(seconds(t0));
        auto t1 = Clock::now();
        bareRun("/bin/true", nullptr, nullptr);
        bare.push_back(seconds(t1));
    }
    double c = median(captured) * 1e6, b = median(bare) * 1e6;
    std::printf("start /bin/true   runCaptured %8.1f us   fork+exec %8.1f us   ratio %.2f\n", c, b,
                c / b);

    // 200 MB of mixed bytes in a file; both sides read it through cat.
    const std::string data = (std::filesystem::temp_directory_path() / "forgeset-bench.bin");
    {
        std::ofstream out(data, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (std::size_t k = 0; k < block.size(); ++k)
            block[k] = static_cast<char>(k * 131 % 251);
        for (int mb = 0; mb < 200; ++mb)
            out.write(block.data(), block.size());
    }
    std::vector<double> capture, toNull;
    std::size_t bytes = 0;
    for (int i = 0; i < 5; ++i) {
        auto t0 = Clock::now();
        bytes = platform::runCaptured({"/bin/cat", data}, 600000).size();
        capture.push_back(seconds(t0));
        auto t1 = Clock::now();
        bareRun("/bin/cat", data.c_str(), "/dev/null");
        toNull.push_back(seconds(t1));
    }
    std::filesystem::remove(data);
    double mb = bytes / 1e6;
    double cs = median(capture), ns = median(toNull);
    std::printf(
        "capture %.0f MB    runCaptured %8.1f MB/s  cat>/dev/null %8.1f MB/s  time ratio %.2f\n",
        mb, mb / cs, mb / ns, cs / ns);
    return 0;
}
