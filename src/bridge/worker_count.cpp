#include "bridge/worker_count.h"

#include <utility>

namespace bridge {

void startCountedWorker(WorkerCount& count, std::function<void()> work) {
    count.enter();
    try {
        count.launch([&count, work = std::move(work)] {
            work();
            count.leave();
        });
    } catch (...) {
        count.leave();
        throw;
    }
}

}  // namespace bridge
