#pragma once
#include <string>

struct App;

namespace command {
void saveAi(App& app, const std::string& message);
}
