#pragma once
#include <functional>
#include <string_view>

struct App;

// Remote build workers run on detached threads. Each is counted in app.workers from
// the moment it is started until its last message is posted, so a headless host can wait for
// it, and anything it throws becomes an error notice naming `command`.

// Wraps `work` that way; the count goes up at once, in the caller.
std::function<void()> countedWork(App& app, std::string_view command, std::function<void()> work);

// Starts countedWork(app, command, work) on a new detached thread.
void startRemoteWorker(App& app, std::string_view command, std::function<void()> work);
