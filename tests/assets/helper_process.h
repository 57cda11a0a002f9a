#pragma once
// Runs the real forgeset-assets as a child process and keeps what it printed, and gives tests
// temporary folders of their own.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace assets_test {

namespace fs = std::filesystem;

inline std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "forgeset-assets-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& tail) const { return path_ / tail; }

  private:
    fs::path path_;
};

struct HelperRun {
    int exitCode = -1;
    std::string out;
    std::string err;  // the helper writes nothing here; a sanitizer report would land here
};

// The helper with `args`, its standard output and error kept apart in files so that a test
// can tell the helper's own words from anything a library or sanitizer printed.
inline HelperRun runHelper(const std::vector<std::string>& args) {
    TempDir capture;
    std::string outFile = (capture / "out").string(), errFile = (capture / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<std::string> argv{FORGESET_ASSETS_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    HelperRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, FORGESET_ASSETS_PATH, &actions, nullptr, pointers.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = readText(outFile);
    run.err = readText(errFile);
    return run;
}

}  // namespace assets_test
