#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace bridge {

struct App;

// Routes one inbound message by its "cmd" to the first command of app.commands with exactly
// that name. An unknown name runs nothing and posts nothing; it is reported as one line on
// app.diagnostics (unknownCommandLine), so a command missing from the table is noticed. The text is
// made valid UTF-8 first. Anything a handler throws is caught and reported as an error notice, so
// no message can end the host.
void dispatchCommand(App& app, std::string_view message);

// Runs one command's work, turning anything it throws into the error notice
// "Unexpected error in NAME: ...". The dispatcher uses it; so do workers that run commands
// on their own threads, where the dispatcher's net does not reach.
// The diagnostic line for a message whose name matches no command: the name comes from
// outside, so it is escaped and cut to a bounded length on a character boundary.
std::string unknownCommandLine(std::string_view name);

void runReportingFailures(App& app, std::string_view name, const std::function<void()>& work);

}  // namespace bridge
