#include "bridge/worker_count.h"

#include <thread>
#include <utility>

void startCountedWorker(WorkerCount& count, std::function<void()> work) {
    count.enter();
    try {
        std::thread([&count, work = std::move(work)] {
            work();
            count.leave();
        }).detach();
    } catch (...) {
        count.leave();
        throw;
    }
}
