#pragma once
#include <memory>
#include <string>

#include "bridge/app.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "shell/options.h"

// The browser host: serves the page on 127.0.0.1 and carries its messages. Prints the
// address to open on standard output and runs until the page sends winClose (or the process
// is asked to stop); returns the exit code.
int runServeHost(const Options& options);

// The browser host as an object, so it can be started and stopped inside one process.
//
// The page is served from the embedded files, the extracted assets under /assets/ and the
// server's species folder under /species/. Commands arrive as posts and are dispatched one
// at a time, in arrival order, on the thread that calls run(); the app's outbound messages go
// to every connected page over an event stream, in posting order.
//
// Every request needs the Host 127.0.0.1:PORT and this run's token: the first request
// carries it as ?token=..., is answered with a session cookie and sent on to the same
// address with the token after "#", where only the page sees it; later requests show the
// cookie. Commands and the event stream also need the token itself (a header on posts, a
// query parameter on the stream), and commands must come from the page's own origin with a
// JSON body.
class ServeHost {
  public:
    // `port` 0 picks a free port when started.
    explicit ServeHost(int port);
    ~ServeHost();
    ServeHost(const ServeHost&) = delete;
    ServeHost& operator=(const ServeHost&) = delete;

    // The window to build the App with: closing ends run(), a new server folder reloads the
    // page; the other window calls mean nothing in a browser.
    platform::Window& window();

    // The dialogs to build the App with: the page draws them (see PageDialogs).
    platform::Dialogs& dialogs();

    // Listens on 127.0.0.1 for `app` (built with window()) and starts carrying its messages.
    // False when the port cannot be had.
    bool start(bridge::App& app);

    int port() const;
    const std::string& token() const;
    // The value of the session cookie, which opens the page's files only.
    const std::string& sessionCookie() const;
    // The address to open: http://127.0.0.1:PORT/?token=TOKEN
    std::string url() const;

    // Dispatches the page's commands on the calling thread until winClose or stop(); then
    // delivers what is still queued for the page and stops serving.
    void run();

    // Makes run() return; callable from any thread.
    void stop();

    // True once the page sent winClose.
    bool closedByPage() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
