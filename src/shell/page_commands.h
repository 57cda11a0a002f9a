#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

// The commands of the page itself rather than of one feature: its start and its title bar.
// They live in the shell, the one layer that may reach into both feature areas and that owns
// the hosts whose windows they move.
namespace command {

// The page has loaded: the server root is read again, then the state, studio and species
// snapshots go out, in that order.
void init(bridge::App& app, const std::string& message);

void winMin(bridge::App& app, const std::string& message);
void winMax(bridge::App& app, const std::string& message);
void winClose(bridge::App& app, const std::string& message);
void dragWindow(bridge::App& app, const std::string& message);

}  // namespace command

// The page's own rows of the command table, which commandTable() puts first.
inline std::span<const bridge::Command> shellCommands() {
    static constexpr bridge::Command rows[] = {
        {"init", command::init},
        {"winMin", command::winMin},
        {"winMax", command::winMax},
        {"winClose", command::winClose},
        {"dragWindow", command::dragWindow},
    };
    return rows;
}
