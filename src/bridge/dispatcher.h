#pragma once
#include <functional>
#include <string_view>

struct App;

// Routes one inbound message by its "cmd" to the first command of app.commands with exactly
// that name; unknown names are ignored. The text is made valid UTF-8 first. Anything a
// handler throws is caught and reported as an error notice, so no message can end the host.
void dispatchCommand(App& app, std::string_view message);

// Runs one command's work, turning anything it throws into the error notice
// "Unexpected error in NAME: ...". The dispatcher uses it; so do workers that run commands
// on their own threads, where the dispatcher's net does not reach.
void runReportingFailures(App& app, std::string_view name, const std::function<void()>& work);
