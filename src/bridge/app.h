#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <iostream>
#include <span>
#include <string>
#include <string_view>

#include "bridge/job_queue.h"
#include "bridge/outbox.h"
#include "bridge/remote_state.h"
#include "bridge/server_root.h"
#include "bridge/worker_count.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/window.h"

namespace bridge {

struct App;

// How long each outside program may run, in milliseconds, before it is ended. Tests shorten
// them.
struct ChildTimeLimits {
    std::uint32_t listSpecies = 180000;
    std::uint32_t exportSpecies = 300000;
    std::uint32_t inspectFbx = 900000;
    std::uint32_t prepareTextures = 900000;
    std::uint32_t packArchive = 900000;
    std::uint32_t unpackArchive = 600000;
    // A local species build that never ends must not hold the busy flag for good; an hour is
    // far beyond any real build.
    std::uint32_t localBuild = 3600000;
};

// A command handler receives the whole inbound message text and reads its own fields.
using CommandHandler = void (*)(App& app, const std::string& message);

struct Command {
    std::string_view name;
    CommandHandler run;
};

// The process-wide state, created once by the host. Tests build one over a temporary folder
// with a capturing outbox.
struct App {
    App(Outbox& hostOutbox, platform::Dialogs& hostDialogs, platform::Window& hostWindow,
        std::span<const Command> table)
        : outbox(hostOutbox),
          dialogs(hostDialogs),
          window(hostWindow),
          commands(table),
          programFolder(platform::executableFolder()) {}

    Outbox& outbox;
    platform::Dialogs& dialogs;
    platform::Window& window;
    // The command table, in dispatch order.
    std::span<const Command> commands;
    // Where the host's diagnostic lines go (standard error); never the page and never standard
    // output, which the --stdio host keeps for messages. Tests point it at a string stream.
    std::ostream* diagnostics = &std::cerr;

    // The chosen server folder; empty when none. Changed only on the thread that dispatches
    // commands; workers read it through its lock.
    ServerRoot serverRoot;

    // Set by buildLogin while a sign-in worker runs.
    std::atomic<bool> signInActive{false};

    // Held by an import, a local build or a remote build's upload while it runs, so at most
    // one of them runs at a time (species/busy.h claims and releases it).
    std::atomic<bool> speciesBusy{false};

    // The folder of the running executable, where tools/ and docs/ are looked for.
    std::string programFolder;

    ChildTimeLimits timeLimits;

    // The most a remote build's result may take, downloaded and again unpacked: four times
    // the largest upload, far beyond any species, so a hostile service cannot fill the disk.
    // Tests lower it.
    std::uint64_t resultCapBytes = std::uint64_t{4} << 30;

    // How long a build service call may wait; workers copy it when they start. Tests
    // shorten it.
    platform::HttpTimeouts buildServiceTimeouts;

    // Runs the asset studio's commands one at a time, off the dispatching thread.
    JobQueue studioJobs;

    // The remote build's waits; tests record them instead of waiting.
    RemoteTimings remoteTimings;

    // Species whose remote build is being packed, uploaded or followed.
    FollowedSpecies followedSpecies;

    // The import, local build and remote build workers still running.
    WorkerCount workers;

    // Opens an address in the user's browser (the sign-in page). The browser host also
    // shows the address on its page, where no desktop browser may be found. Set before the
    // first command; called from workers.
    std::function<void(const std::string& url)> openExternal = platform::shellOpen;
};

}  // namespace bridge
