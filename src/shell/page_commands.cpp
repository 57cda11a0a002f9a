#include "shell/page_commands.h"

#include "bridge/app.h"
#include "server/resources.h"
#include "server/root.h"
#include "server/skins_save.h"
#include "server/state.h"
#include "species/species_message.h"
#include "studio/studio.h"

namespace command {

// The file, not memory, is the authority for the server folder after every page load.
void init(bridge::App& app, const std::string&) {
    server::loadServerRoot(app);
    // A skins save the tool did not live to finish is finished before anyone reads the pair.
    if (!app.serverRoot.empty())
        (void)server::finishSkinsSave(server::resourcesFolder(app.serverRoot.path()) + "/skins");
    server::sendState(app);
    studio::sendStudio(app);
    species::sendSpeciesMessage(app);
}

void winMin(bridge::App& app, const std::string&) {
    app.window.minimize();
}

void winMax(bridge::App& app, const std::string&) {
    app.window.toggleMaximize();
}

void winClose(bridge::App& app, const std::string&) {
    app.window.close();
}

void dragWindow(bridge::App& app, const std::string&) {
    app.window.startMove();
}

}  // namespace command
