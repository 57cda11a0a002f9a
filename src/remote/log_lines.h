#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace bridge {
struct App;
}  // namespace bridge

namespace remote {

// The build service's log on its way to the page. The service is not ours to trust: one
// answer may carry a line of megabytes or a million lines, and the page draws every line it
// gets. So a line is cut after kLogLineBytes bytes (on a character boundary, marked with
// kLogLineCut), and of one answer's lines only the last kLogLinesPerAnswer go out, after one
// line that says how many were left out; the whole log still arrives in build.log with the
// result.
inline constexpr std::size_t kLogLineBytes = 2000;
inline constexpr const char* kLogLineCut = " [line cut]";
inline constexpr std::size_t kLogLinesPerAnswer = 1000;

// Shown once instead of the log when one answer is too long to read.
inline constexpr const char* kLogTooLong =
    "[The build log is too long to follow here. The whole log comes with the result.]";

// The line as it is shown: whole when short enough, else cut as above.
std::string shownLogLine(const std::string& line);

// "[N earlier lines not shown]"
std::string leftOutLine(std::size_t count);

// Posts one speciesLog message per line shown, in order, for the workspace `name` of the
// server folder `root`.
void forwardLogLines(bridge::App& app, const std::string& root, const std::string& name,
                     const std::vector<std::string>& lines);

}  // namespace remote
