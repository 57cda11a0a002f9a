#pragma once
#include <atomic>
#include <span>
#include <string>
#include <string_view>

#include "bridge/outbox.h"
#include "platform/dialogs.h"
#include "platform/window.h"

struct App;

// A command handler receives the whole inbound message text and reads its own fields.
using CommandHandler = void (*)(App& app, const std::string& message);

struct Command {
    std::string_view name;
    CommandHandler run;
};

// The process-wide state, created once by the host. Tests build one over a temporary folder
// with a capturing outbox.
struct App {
    App(Outbox& outbox, platform::Dialogs& dialogs, platform::Window& window,
        std::span<const Command> commands)
        : outbox(outbox), dialogs(dialogs), window(window), commands(commands) {}

    Outbox& outbox;
    platform::Dialogs& dialogs;
    platform::Window& window;
    // The command table, in dispatch order.
    std::span<const Command> commands;

    // The chosen server folder; empty when none. Written only on the thread that dispatches
    // commands; workers are handed their own copy when they start.
    std::string serverRoot;

    // Set by buildLogin while a sign-in worker runs.
    std::atomic<bool> signInActive{false};
};
