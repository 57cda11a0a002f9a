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
    std::thread(std::move(work)).detach();
    held_ = false;
}
