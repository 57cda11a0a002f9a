#pragma once
#include <string>

struct App;

namespace command {
void saveSkins(App& app, const std::string& message);
void studioSaveTexture(App& app, const std::string& message);
}  // namespace command
