#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Runs a program (argv[0] is its full path) and returns everything it wrote to standard
// output and standard error, in the order it reached the one pipe both share, unchanged.
// The child gets no standard input and no other descriptor or handle of ours. When
// `timeoutMs` passes before the output has ended and the child has exited, the child and
// everything it started (its process group; on Windows its Job object) are killed and what
// was read so far is returned; `timedOutAtLimit`, when given, then says so. A program that
// cannot be started gives empty output, like one that printed nothing. On Windows the argument
// vector is joined into one command line that the program splits back unchanged, anything the
// child started is ended once the call returns, and a command script (.bat, .cmd) is not run:
// cmd.exe would read its arguments again by rules no quoting can make safe.
std::string runCaptured(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                        bool* timedOutAtLimit = nullptr);

// As runCaptured, for a child that writes files from input nobody vouches for (an archive
// from the network): no file it writes may grow past `fileSizeLimit` bytes, and the child is
// ended when one would. Windows has no such limit: there the files below the folders named in
// argv are watched, the child is ended within milliseconds of one passing the limit (so a file
// may overshoot it by what was written meanwhile), and with no folder named the child is not
// run at all.
std::string runCapturedWithFileLimit(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                                     std::uint64_t fileSizeLimit);

// As runCaptured, but each block read from the pipe (at most 4096 bytes) goes to `onOutput`
// at once, on the calling thread, and nothing is kept. False when the time limit ended the
// child; a program that cannot be started behaves as one that printed nothing.
bool runStreaming(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                  const std::function<void(std::string_view)>& onOutput);

// Ends every child that runCaptured or runStreaming is waiting for, with everything it started
// (its process group or Job object), and any child started from now on. For the end of the
// program: a helper left running would go on as an orphan, writing into folders the owner
// takes for settled. Safe to call from a signal handler or a console control handler.
void endRunningChildren();

// The full path of a program found on PATH (on Windows with the extensions of PATHEXT, never a
// command script, and never in the current folder); empty when it is nowhere.
std::string findProgram(const std::string& name);

}  // namespace platform
