#include "platform/posix/child_groups.h"

#include <signal.h>

#include <atomic>

#include "platform/process.h"

namespace platform {
namespace {

// Fixed slots of lock-free atomics rather than a locked list: endRunningChildren runs in
// signal handlers, where no lock may be taken. More children at once than slots is far beyond
// what the tool starts (one studio job, one species job, a few packing steps); one that finds
// no slot still runs, only without this safety net.
constexpr int kSlots = 64;
std::atomic<pid_t> groups[kSlots];
std::atomic<bool> ending{false};

}  // namespace

void rememberChildGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : groups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group)) break;
    }
    // Checked after the slot is taken: either the ending sees the slot or we see the ending.
    if (ending.load()) ::kill(-group, SIGKILL);
}

void forgetChildGroup(pid_t group) {
    for (std::atomic<pid_t>& slot : groups) {
        pid_t expected = group;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

void endRunningChildren() {
    ending.store(true);
    for (std::atomic<pid_t>& slot : groups) {
        if (pid_t group = slot.load()) ::kill(-group, SIGKILL);
    }
}

}  // namespace platform
