#pragma once
#include <string>

struct App;

// The asset studio's commands; the shell puts them into the command table. They run on the
// studio worker, one at a time, in the order received.
namespace command {
void studioSpecies(App& app, const std::string& message);
void studioExtract(App& app, const std::string& message);
void studioRefresh(App& app, const std::string& message);
}  // namespace command
