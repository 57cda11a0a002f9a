#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/program_search.h"
#include "platform/win32/output_watch.h"
#include "platform/win32/running_child.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::RunningChild;
using Clock = RunningChild::Clock;

// Reads until the output ends or the time runs out; reads go straight into the result's free
// tail, so each byte is copied once. Returns whether the time ran out.
bool readAll(RunningChild& child, std::string& output, Clock::time_point deadline) {
    std::size_t used = 0;
    RunningChild::Read read = RunningChild::Read::data;
    while (read == RunningChild::Read::data) {
        if (output.size() - used < 65536) output.resize(std::max<std::size_t>(used * 2, 1 << 16));
        std::size_t got = 0;
        read = child.read(output.data() + used, output.size() - used, got, deadline);
        used += got;
    }
    output.resize(used);
    return read == RunningChild::Read::timedOut;
}

std::string environmentVariable(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return win32::fromWide(value);
}

}  // namespace

std::string runCaptured(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                        bool* timedOutAtLimit) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_ptr<RunningChild> child = RunningChild::start(argv);
    if (!child) return {};
    std::string output;
    const bool timedOut = child->finish(readAll(*child, output, deadline), deadline);
    if (timedOutAtLimit) *timedOutAtLimit = timedOut;
    return output;
}

std::string runCapturedWithFileLimit(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                                     std::uint64_t fileSizeLimit) {
    // With no folder to watch there would be no limit at all; the child does not run.
    std::vector<std::string> folders = win32::watchedFolders(argv);
    if (folders.empty()) return {};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_ptr<RunningChild> child = RunningChild::start(argv);
    if (!child) return {};
    win32::OutputWatch watch(child->job(), std::move(folders), fileSizeLimit);
    std::string output;
    child->finish(readAll(*child, output, deadline), deadline);
    return output;
}

bool runStreaming(const std::vector<std::string>& argv, std::uint32_t timeoutMs,
                  const std::function<void(std::string_view)>& onOutput) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_ptr<RunningChild> child = RunningChild::start(argv);
    if (!child) return true;
    char block[4096];
    RunningChild::Read read = RunningChild::Read::data;
    while (read == RunningChild::Read::data) {
        std::size_t got = 0;
        read = child->read(block, sizeof block, got, deadline);
        if (got > 0) onOutput(std::string_view(block, got));
    }
    return !child->finish(read == RunningChild::Read::timedOut, deadline);
}

std::string findProgram(const std::string& name) {
    for (const std::string& candidate :
         programCandidates(name, environmentVariable(L"PATH"), environmentVariable(L"PATHEXT"))) {
        const DWORD attributes = ::GetFileAttributesW(win32::widePath(candidate).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return candidate;
        }
    }
    return {};
}

}  // namespace platform
