#pragma once
#include <functional>
#include <string>
#include <string_view>

struct App;

// Remote build workers run on detached threads. Each is counted in app.workers from
// the moment it is started until its last message is posted, so a headless host can wait for
// it, and anything it throws becomes an error notice naming `command`.
void startRemoteWorker(App& app, std::string_view command, std::function<void()> work);

// Runs `work` and then lets go of `workspace` in app.followedSpecies, however `work` ends.
void whileFollowing(App& app, const std::string& workspace, const std::function<void()>& work);
