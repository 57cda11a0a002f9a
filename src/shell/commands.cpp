#include "shell/commands.h"

#include "server/ai.h"
#include "server/config.h"
#include "server/resources.h"
#include "server/root.h"
#include "server/shortcuts.h"
#include "server/skins.h"
#include "server/state.h"
#include "studio/studio.h"

namespace command {
namespace {

// The page sends init once it has loaded: the file, not memory, is the authority for the
// server folder after every page load.
void init(App& app, const std::string&) {
    loadServerRoot(app);
    sendState(app);
    sendStudio(app);
}

void winMin(App& app, const std::string&) {
    app.window.minimize();
}
void winMax(App& app, const std::string&) {
    app.window.toggleMaximize();
}
void winClose(App& app, const std::string&) {
    app.window.close();
}
void dragWindow(App& app, const std::string&) {
    app.window.startMove();
}

constexpr Command kTable[] = {
    {"init", init},
    {"studioSpecies", studioSpecies},
    {"studioExtract", studioExtract},
    {"studioSaveTexture", studioSaveTexture},
    {"studioRefresh", studioRefresh},
    {"pickFolder", pickFolder},
    {"saveCfg", saveCfg},
    {"toggleResource", toggleResource},
    {"newResource", newResource},
    {"saveSkins", saveSkins},
    {"saveAi", saveAi},
    {"startRunner", startRunner},
    {"open", open},
    {"refresh", refresh},
    {"winMin", winMin},
    {"winMax", winMax},
    {"winClose", winClose},
    {"dragWindow", dragWindow},
};

}  // namespace
}  // namespace command

std::span<const Command> commandTable() {
    return command::kTable;
}
