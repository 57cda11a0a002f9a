#pragma once
#include <functional>

namespace bridge {
struct App;
}  // namespace bridge

namespace species {

// The busy flag lets one import, local build or remote upload run at a time. It is one
// atomic in App, changed only here, so two commands racing for it cannot both start.

// Sets the flag; true when it was free before, false (and nothing changed) when taken.
bool tryClaimBusy(bridge::App& app);

// Frees the flag.
void releaseBusy(bridge::App& app);

inline constexpr const char* kBusyNotice = "Another import or build is still running.";

// A command's claim on the flag. Until the claim is handed to a worker it is freed when the
// command ends, however it ends (a cancelled dialog, a failure, an exception), so the flag is
// never left taken with nobody to free it.
class BusyClaim {
  public:
    explicit BusyClaim(bridge::App& app);
    ~BusyClaim();
    BusyClaim(const BusyClaim&) = delete;
    BusyClaim& operator=(const BusyClaim&) = delete;

    // False when another job holds the flag.
    explicit operator bool() const { return held_; }

    // Runs `work` on a new detached thread, which from then on owns the flag and must free it
    // with releaseBusy when it ends. The thread is counted in app.workers while it runs. When
    // the thread cannot be started the flag is freed, the page is told, and the failure is
    // thrown on.
    void handToWorker(std::function<void()> work);

  private:
    bridge::App& app_;
    bool held_;
};

}  // namespace species
