#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

// The asset studio's commands and their rows of the command table (commands.cpp). They run on the
// studio worker, one at a time, in the order received.
namespace command {
void studioSpecies(App& app, const std::string& message);
void studioExtract(App& app, const std::string& message);
void studioRefresh(App& app, const std::string& message);
}  // namespace command

// This area's rows of the command table; the shell joins every area's rows.
std::span<const Command> studioCommands();
