#pragma once
#include <string>

struct App;

namespace command {
void startRunner(App& app, const std::string& message);
void open(App& app, const std::string& message);
}  // namespace command
