#include "shell/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// The dispatcher takes the first entry with a command's name, so the table's order is part
// of its behaviour; and a command missing from it would be ignored without a word.
TEST(CommandTableTest, HoldsEveryCommandOnceInDispatchOrder) {
    const std::vector<std::string> expected = {
        "init",          "studioSpecies", "studioExtract", "studioSaveTexture",
        "studioRefresh", "pickFolder",    "saveCfg",       "toggleResource",
        "newResource",   "saveSkins",     "saveAi",        "speciesRefresh",
        "saveSpecies",   "deleteSpecies", "importSpecies", "addSpeciesSounds",
        "buildSpecies",  "openSpecies",   "buildLogin",    "buildLogout",
        "buildRemote",   "buildResume",   "buildCancel",   "startRunner",
        "open",          "refresh",       "winMin",        "winMax",
        "winClose",      "dragWindow",
    };
    std::vector<std::string> names;
    std::set<std::string> distinct;
    for (const Command& command : commandTable()) {
        names.emplace_back(command.name);
        distinct.emplace(command.name);
        EXPECT_NE(command.run, nullptr) << command.name;
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(distinct.size(), names.size());
}

}  // namespace
