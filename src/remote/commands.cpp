#include "remote/commands.h"

namespace {

// The remote build's rows of the command table. A command is a handler and its row here; the shell
// only joins the areas' rows, and tests/shell/commands_test.cpp holds them against the page
// and docs/protocol.md.
constexpr Command kCommands[] = {
    {"buildLogin", command::buildLogin},   {"buildLogout", command::buildLogout},
    {"buildRemote", command::buildRemote}, {"buildResume", command::buildResume},
    {"buildCancel", command::buildCancel},
};

}  // namespace

std::span<const Command> remoteCommands() {
    return kCommands;
}
