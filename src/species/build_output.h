#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace species {

// Turns the build script's output, as it arrives in blocks of any size, into lines: each
// line goes out the moment its line feed arrives, without the line feed and without one
// carriage return before it. Only the unfinished last line is held.
class BuildOutput {
  public:
    explicit BuildOutput(std::function<void(std::string_view line)> onLine)
        : onLine_(std::move(onLine)) {}

    void feed(std::string_view block);

    // The output has ended. Text after the last line feed is a line too: a script whose
    // last words, the marker perhaps, lack a line end has still said them.
    void finish();

    // Some line held "BUILD OK" (case-sensitive). Lines are whole before they are searched,
    // so a marker split between two blocks still counts.
    bool succeeded() const { return succeeded_; }

  private:
    void takeLine(std::string_view line);

    std::function<void(std::string_view)> onLine_;
    std::string pending_;
    bool succeeded_ = false;
};

}  // namespace species
