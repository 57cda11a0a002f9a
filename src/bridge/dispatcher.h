#pragma once
#include <string_view>

struct App;

// Routes one inbound message by its "cmd" to the first command of app.commands with exactly
// that name; unknown names are ignored. The text is made valid UTF-8 first. Anything a
// handler throws is caught and reported as an error notice, so no message can end the host.
void dispatchCommand(App& app, std::string_view message);
