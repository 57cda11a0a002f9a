#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

namespace studio {

// The asset studio's commands and their rows of the command table. They run on the
// studio worker, one at a time, in the order received.
namespace command {
void studioSpecies(bridge::App& app, const std::string& message);
void studioExtract(bridge::App& app, const std::string& message);
void studioRefresh(bridge::App& app, const std::string& message);
}  // namespace command

// This area's rows of the command table, beside the handlers' declarations so that a new
// command is its handler and two lines here; the shell joins every area's rows.
inline std::span<const bridge::Command> studioCommands() {
    static constexpr bridge::Command rows[] = {
        {"studioSpecies", command::studioSpecies},
        {"studioExtract", command::studioExtract},
        {"studioRefresh", command::studioRefresh},
    };
    return rows;
}

}  // namespace studio
