#include "server/root.h"

#include "bridge/app.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/text.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "server/commands.h"
#include "server/state.h"

namespace server {

std::string appDataFolder() {
    return platform::appDataFolder();
}

std::string serverRootFile() {
    return appDataFolder() + "/server-root.txt";
}

void loadServerRoot(bridge::App& app) {
    std::string root = bridge::fromUtf8(bridge::readFileBytes(serverRootFile()));
    // A file edited by hand often ends with a line break; tabs and leading blanks stay.
    while (!root.empty() && (root.back() == '\r' || root.back() == '\n' || root.back() == ' ')) {
        root.pop_back();
    }
    app.serverRoot.set(std::move(root));
}

bool chooseServerRoot(bridge::App& app, const std::string& path) {
    bool changed = path != app.serverRoot.path();
    app.serverRoot.set(path);
    // The page is not told: the next init reads the file and shows what it holds.
    if (platform::Result<> kept =
            platform::writeWholeFile(serverRootFile(), bridge::toUtf8(app.serverRoot.path()));
        !kept)
        bridge::reportFailure("Could not remember the server folder in " + serverRootFile(),
                              kept.error());
    return changed;
}

namespace command {

void pickFolder(bridge::App& app, const std::string&) {
    auto chosen = app.dialogs.pickFolder("Server folder (where VarraForgesetServer.exe lives)");
    if (chosen && !chosen->empty() && chooseServerRoot(app, *chosen)) {
        app.window.reloadForNewRoot();
        return;
    }
    sendState(app);
}

}  // namespace command

}  // namespace server
