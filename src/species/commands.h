#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

namespace species {

// The species workspaces' commands and their rows of the command table. Each is
// defined beside what it works on.
namespace command {

// species_message.cpp: a fresh species message.
void speciesRefresh(bridge::App& app, const std::string& message);

// editing.cpp: save a definition, put a workspace aside, show it in the file browser.
void saveSpecies(bridge::App& app, const std::string& message);
void deleteSpecies(bridge::App& app, const std::string& message);
void openSpecies(bridge::App& app, const std::string& message);

// import.cpp: models, animations and textures from a folder, on a worker thread.
void importSpecies(bridge::App& app, const std::string& message);

// sounds.cpp: sound files picked in a dialog.
void addSpeciesSounds(bridge::App& app, const std::string& message);

// local_build.cpp: the kit's build script on this machine, on a worker thread.
void buildSpecies(bridge::App& app, const std::string& message);

}  // namespace command

// This area's rows of the command table, beside the handlers' declarations so that a new
// command is its handler and two lines here; the shell joins every area's rows.
inline std::span<const bridge::Command> speciesCommands() {
    static constexpr bridge::Command rows[] = {
        {"speciesRefresh", command::speciesRefresh},     {"saveSpecies", command::saveSpecies},
        {"deleteSpecies", command::deleteSpecies},       {"importSpecies", command::importSpecies},
        {"addSpeciesSounds", command::addSpeciesSounds}, {"buildSpecies", command::buildSpecies},
        {"openSpecies", command::openSpecies},
    };
    return rows;
}

}  // namespace species
