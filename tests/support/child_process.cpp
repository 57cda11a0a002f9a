#include "support/child_process.h"

// What waiting for output means on every system; starting the child, moving the bytes and
// reaping it are in posix/ and win32/.

void ChildProcess::write(const std::string& bytes) {
    pending_ += bytes;
    pump([&] { return pending_.empty(); }, deadline_);
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
