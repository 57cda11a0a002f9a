#include "species/commands.h"

namespace {

// The species workspaces' rows of the command table. A command is a handler and its row here; the
// shell only joins the areas' rows, and tests/shell/commands_test.cpp holds them against the page
// and docs/protocol.md.
constexpr Command kCommands[] = {
    {"speciesRefresh", command::speciesRefresh},     {"saveSpecies", command::saveSpecies},
    {"deleteSpecies", command::deleteSpecies},       {"importSpecies", command::importSpecies},
    {"addSpeciesSounds", command::addSpeciesSounds}, {"buildSpecies", command::buildSpecies},
    {"openSpecies", command::openSpecies},
};

}  // namespace

std::span<const Command> speciesCommands() {
    return kCommands;
}
