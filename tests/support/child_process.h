#pragma once
// A program run as a child process: each standard stream a pipe, the null device or a file, its
// own environment, time limits on every wait, and what it writes collected. It is killed if
// it is still running when the object goes.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    // Where one standard stream of the child is connected.
    enum class Stream { Pipe, Null };

    struct Options {
        Options(std::string programPath, std::vector<std::string> arguments,
                std::map<std::string, std::string> environment = {})
            : program(std::move(programPath)),
              args(std::move(arguments)),
              env(std::move(environment)) {}

        std::string program;
        std::vector<std::string> args;
        // Set over this process's environment, or the whole environment when inheritEnv is
        // false.
        std::map<std::string, std::string> env;
        bool inheritEnv = true;
        Stream in = Stream::Pipe;
        Stream out = Stream::Pipe;
        Stream err = Stream::Pipe;
        // When set, standard error goes to this file (created or emptied) instead.
        std::string errFile;
        // The limit of write, readLine and wait, counted from the start.
        Clock::duration timeout = std::chrono::seconds(60);
        // When false, a child that cannot be started leaves started() false instead of
        // throwing std::runtime_error.
        bool throwIfNotStarted = true;
    };

    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    pid_t pid() const;

    // Queues bytes for the child's standard input; they go out while output is read, so
    // neither side can fill a pipe and wait for the other.
    void write(const std::string& bytes);
    void closeInput();

    // The next line of standard output (without its line feed); nothing when output ended
    // first or the time ran out.
    std::optional<std::string> readLine();
    // Standard output up to its first line feed, once one came or `limit` passed.
    std::string firstLine(Clock::duration limit);
    // Everything on standard output until the child closes it or `limit` passes.
    std::string readOutput(Clock::duration limit);
    // True once standard error holds `text`; false when the time ran out or it ended.
    bool waitForError(const std::string& text, Clock::duration limit);

    // Waits until both output pipes are at their end (helpers the child started keep them
    // open too) and the child has exited; returns its exit code, or -1 when it ended by a
    // signal or had to be killed (timedOut then says so).
    int wait(bool closeInputFirst = true);
    int waitExit(Clock::duration limit);

    // Sends the signal; on Windows, which has none to send, any number ends the child.
    void signal(int number);

    std::string out, err;
    bool timedOut = false;

  private:
    // The child and the parent's ends of its streams, as each system holds them.
    struct Handles;

    // Moves bytes both ways until `done` holds, the output pipes end or `until` passes.
    void pump(const std::function<bool()>& done, Clock::time_point until);
    int finish(Clock::time_point until);

    std::unique_ptr<Handles> handles_;
    std::string pending_;
    std::size_t taken_ = 0;
    Clock::time_point deadline_;
};
