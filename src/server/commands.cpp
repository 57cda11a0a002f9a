#include "server/commands.h"

namespace {

// The server folder's rows of the command table. A command is a handler and its row here; the shell
// only joins the areas' rows, and tests/shell/commands_test.cpp holds them against the page
// and docs/protocol.md.
constexpr Command kCommands[] = {
    {"pickFolder", command::pickFolder},
    {"saveCfg", command::saveCfg},
    {"toggleResource", command::toggleResource},
    {"newResource", command::newResource},
    {"saveSkins", command::saveSkins},
    {"studioSaveTexture", command::studioSaveTexture},
    {"saveAi", command::saveAi},
    {"startRunner", command::startRunner},
    {"open", command::open},
    {"refresh", command::refresh},
};

}  // namespace

std::span<const Command> serverCommands() {
    return kCommands;
}
