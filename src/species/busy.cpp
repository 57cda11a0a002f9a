#include "species/busy.h"

#include <utility>

#include "bridge/app.h"
#include "species/species_message.h"

namespace species {

bool tryClaimBusy(bridge::App& app) {
    return !app.speciesBusy.exchange(true);
}

void releaseBusy(bridge::App& app) {
    app.speciesBusy.store(false);
}

BusyClaim::BusyClaim(bridge::App& app) : app_(app), held_(tryClaimBusy(app)) {}

BusyClaim::~BusyClaim() {
    if (held_) releaseBusy(app_);
}

void BusyClaim::handToWorker(std::function<void()> work) {
    // Counted until its last message is posted, which is after it frees the flag: a host
    // at the end of its input waits for that.
    try {
        bridge::startCountedWorker(app_.workers, std::move(work));
    } catch (...) {
        // The page was shown the job as running; it must not wait for one that never began.
        releaseBusy(app_);
        held_ = false;
        sendSpeciesMessage(app_);
        throw;
    }
    held_ = false;
}

}  // namespace species
