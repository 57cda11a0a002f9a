#include "shell/startup.h"

#include <cstdlib>
#include <iostream>

#include "bridge/files.h"
#include "server/root.h"
#include "studio/asset_helper.h"

std::optional<platform::ScriptedDialogs> scriptedDialogs(const Options& options) {
    if (!options.dialogs) return std::nullopt;
    auto scripted = platform::ScriptedDialogs::fromFile(*options.dialogs);
    if (!scripted) {
        std::cerr << "forgeset-server-tool: cannot read dialog answers from " << *options.dialogs
                  << "\n";
        std::exit(2);
    }
    return scripted;
}

void startApp(App& app, const Options& options) {
    makeDirs(assetsFolder());
    loadServerRoot(app);
    if (options.root) chooseServerRoot(app, *options.root);
}
