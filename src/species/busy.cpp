#include "species/busy.h"

#include <utility>

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
    startCountedWorker(app_.workers, std::move(work));
    held_ = false;
}
