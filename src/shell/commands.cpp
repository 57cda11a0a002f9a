#include "shell/commands.h"

#include "remote/commands.h"
#include "server/commands.h"
#include "shell/page_commands.h"
#include "species/commands.h"
#include "studio/commands.h"

namespace {

// Each area defines its handlers; this is only their order, which is the order the
// dispatcher tries the names in.
constexpr Command kTable[] = {
    {"init", command::init},
    {"studioSpecies", command::studioSpecies},
    {"studioExtract", command::studioExtract},
    {"studioSaveTexture", command::studioSaveTexture},
    {"studioRefresh", command::studioRefresh},
    {"pickFolder", command::pickFolder},
    {"saveCfg", command::saveCfg},
    {"toggleResource", command::toggleResource},
    {"newResource", command::newResource},
    {"saveSkins", command::saveSkins},
    {"saveAi", command::saveAi},
    {"speciesRefresh", command::speciesRefresh},
    {"saveSpecies", command::saveSpecies},
    {"deleteSpecies", command::deleteSpecies},
    {"importSpecies", command::importSpecies},
    {"addSpeciesSounds", command::addSpeciesSounds},
    {"buildSpecies", command::buildSpecies},
    {"openSpecies", command::openSpecies},
    {"buildLogin", command::buildLogin},
    {"buildLogout", command::buildLogout},
    {"buildRemote", command::buildRemote},
    {"buildResume", command::buildResume},
    {"buildCancel", command::buildCancel},
    {"startRunner", command::startRunner},
    {"open", command::open},
    {"refresh", command::refresh},
    {"winMin", command::winMin},
    {"winMax", command::winMax},
    {"winClose", command::winClose},
    {"dragWindow", command::dragWindow},
};

}  // namespace

std::span<const Command> commandTable() {
    return kTable;
}
