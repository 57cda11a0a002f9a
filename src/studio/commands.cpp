#include "studio/commands.h"

namespace {

// The asset studio's rows of the command table. A command is a handler and its row here; the shell
// only joins the areas' rows, and tests/shell/commands_test.cpp holds them against the page
// and docs/protocol.md.
constexpr Command kCommands[] = {
    {"studioSpecies", command::studioSpecies},
    {"studioExtract", command::studioExtract},
    {"studioRefresh", command::studioRefresh},
};

}  // namespace

std::span<const Command> studioCommands() {
    return kCommands;
}
