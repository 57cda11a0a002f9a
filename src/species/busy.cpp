#include "species/busy.h"

#include <thread>

#include "bridge/app.h"

bool tryClaimBusy(App& app) {
    return !app.speciesBusy.exchange(true);
}

void releaseBusy(App& app) {
    app.speciesBusy.store(false);
}

BusyClaim::BusyClaim(App& app) : app_(app), held_(tryClaimBusy(app)) {}

BusyClaim::~BusyClaim() {
    if (held_) releaseBusy(app_);
}

void BusyClaim::handToWorker(std::function<void()> work) {
    // Counted until its last message is posted, which is after it frees the flag: a host
    // at the end of its input waits for that.
    app_.workers.enter();
    try {
        std::thread([&app = app_, work = std::move(work)] {
            work();
            app.workers.leave();
        }).detach();
    } catch (...) {
        app_.workers.leave();
        throw;
    }
    held_ = false;
}
