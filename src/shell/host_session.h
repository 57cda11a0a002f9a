#pragma once
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "bridge/app.h"
#include "bridge/outbox.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "shell/options.h"

// What every host does alike, whatever carries its messages: the dialogs the command line
// chose, the outbox, the one App with the command table and its start, the thread that
// delivers outbound messages in posting order, and the way the process ends.
class HostSession {
  public:
    // Reads the answers of --dialogs at once, so that a file that cannot be read ends the run
    // (code 2, with a message) before any window or port is opened.
    explicit HostSession(const Options& options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Builds the App over the host's window and starts it: the assets folder exists, the
    // server root is loaded, and --root applied as if chosen in the folder dialog. Dialogs are
    // answered by the --dialogs script when there is one, else by `native` when the host has
    // its own, else cancelled.
    bridge::App& start(platform::Window& window, platform::Dialogs* native = nullptr);

    // Starts the one thread that hands every outbound message to `deliver`. Workers post from
    // their own threads; a single deliverer keeps the posting order.
    void deliverOnThread(std::function<void(std::string)> deliver);

    // Closes the outbox and waits until the delivery thread has handed out what was queued.
    void finishDelivery();

    // Ends the process with `code` at once, the standard streams flushed first. A studio job
    // still running, or a delivery to a window that is gone, ends with the process, as it
    // would when the window closes; an ordinary return would wait for them. The helpers such
    // a job runs end too, with everything they started.
    [[noreturn]] void exit(int code);

    // SIGTERM, SIGINT and SIGHUP end the process at once with success, as closing the window
    // would, its helpers included. For the hosts without a toolkit that watches signals.
    static void exitOnTerminateSignals();

  private:
    std::optional<std::string> root_;
    std::optional<platform::ScriptedDialogs> scripted_;
    // Without a script and without native dialogs, every dialog is cancelled.
    platform::ScriptedDialogs none_;
    bridge::Outbox outbox_;
    std::optional<bridge::App> app_;
    std::thread delivery_;
};
