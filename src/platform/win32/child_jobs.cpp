#include "platform/win32/child_jobs.h"

#include <atomic>

#include "platform/process.h"

namespace platform::win32 {
namespace {

// Fixed slots of lock-free atomics rather than a locked list: endRunningChildren runs from a
// console control handler while any runner may be between two steps. More children at once
// than slots is far beyond what the tool starts; one that finds no slot still runs, and its
// job still ends it with the process (the job is closed on exit), only not a moment sooner.
constexpr int kSlots = 64;
std::atomic<HANDLE> jobs[kSlots];
std::atomic<bool> ending{false};

}  // namespace

void rememberChildJob(HANDLE job) {
    for (std::atomic<HANDLE>& slot : jobs) {
        HANDLE empty = nullptr;
        if (slot.compare_exchange_strong(empty, job)) break;
    }
    // Checked after the slot is taken: either the ending sees the slot or we see the ending.
    if (ending.load()) ::TerminateJobObject(job, ERROR_PROCESS_ABORTED);
}

void forgetChildJob(HANDLE job) {
    for (std::atomic<HANDLE>& slot : jobs) {
        HANDLE expected = job;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

}  // namespace platform::win32

namespace platform {

void endRunningChildren() {
    win32::ending.store(true);
    for (std::atomic<HANDLE>& slot : win32::jobs) {
        if (HANDLE job = slot.load()) ::TerminateJobObject(job, ERROR_PROCESS_ABORTED);
    }
}

}  // namespace platform
