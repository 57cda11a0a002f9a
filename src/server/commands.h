#pragma once
#include <span>
#include <string>

#include "bridge/app.h"

namespace server {

// The server folder's commands, one free handler per command the page sends; their rows
// of the command table follow them. Each is defined beside what it works on.
namespace command {

// root.cpp: the folder dialog.
void pickFolder(bridge::App& app, const std::string& message);

// config.cpp: server.cfg.
void saveCfg(bridge::App& app, const std::string& message);
void toggleResource(bridge::App& app, const std::string& message);

// resources.cpp: a new Lua resource from its templates.
void newResource(bridge::App& app, const std::string& message);

// skins.cpp: the skin list and its Lua script.
void saveSkins(bridge::App& app, const std::string& message);

// skin_textures.cpp: a painted texture, stored in the skins resource.
void studioSaveTexture(bridge::App& app, const std::string& message);

// ai.cpp: brains and spawners.
void saveAi(bridge::App& app, const std::string& message);

// runner_commands.cpp: the server runner and the folder shortcuts.
void startRunner(bridge::App& app, const std::string& message);
void open(bridge::App& app, const std::string& message);

// state.cpp: a fresh state snapshot.
void refresh(bridge::App& app, const std::string& message);

}  // namespace command

// This area's rows of the command table, beside the handlers' declarations so that a new
// command is its handler and two lines here; the shell joins every area's rows.
inline std::span<const bridge::Command> serverCommands() {
    static constexpr bridge::Command rows[] = {
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
    return rows;
}

}  // namespace server
