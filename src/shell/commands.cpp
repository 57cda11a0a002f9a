#include "shell/commands.h"

#include <vector>

#include "remote/commands.h"
#include "server/commands.h"
#include "shell/page_commands.h"
#include "species/commands.h"
#include "studio/commands.h"

std::span<const bridge::Command> commandTable() {
    // Each area owns its rows beside its handlers; the shell, the one layer that sees every
    // area, only joins them. Names are unique across the table, so the order of the areas
    // decides nothing but the order docs/protocol.md lists them in.
    static const std::vector<bridge::Command> table = [] {
        std::vector<bridge::Command> rows;
        for (std::span<const bridge::Command> area :
             {shellCommands(), server::serverCommands(), studio::studioCommands(),
              species::speciesCommands(), remote::remoteCommands()})
            rows.insert(rows.end(), area.begin(), area.end());
        return rows;
    }();
    return table;
}
