#include "shell/desktop_host.h"

#include <cstdlib>
#include <iostream>

#include "bridge/app.h"
#include "bridge/dispatcher.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "server/root.h"
#include "shell/embedded_content.h"
#include "shell/host_session.h"
#include "studio/asset_helper.h"

namespace {

// The developer tools' port, when a developer asked for them.
std::string devtoolsPort() {
    const char* port = std::getenv("VARRAFORGESET_DEVTOOLS_PORT");
    return port ? port : "";
}

}  // namespace

bool desktopAvailable() {
    return platform::desktopAvailable();
}

int runDesktopHost(const Options& options) {
    // A bad answers file ends the run before any window shows.
    HostSession session(options);
    platform::DesktopSettings settings;
    settings.title = "Varra Forgeset Server Tool";
    settings.width = 1280;
    settings.height = 860;
    settings.dataFolder = server::appDataFolder() + platform::pathSeparator + "webview-servertool";
    settings.devtoolsPort = devtoolsPort();
    settings.pageShim = std::string(embeddedBytes(findRoute("/host/desktop_shim.js")));
    platform::Result<std::unique_ptr<platform::DesktopWindow>> created =
        platform::DesktopWindow::create(settings);
    if (!created) {
        std::cerr << "forgeset-server-tool: cannot open the window: " << created.error().what
                  << "\n";
        return 1;
    }
    std::unique_ptr<platform::DesktopWindow> window = std::move(*created);
    bridge::App& app = session.start(*window, &window->dialogs());
    // The window's loop takes the messages over from the delivery thread.
    session.deliverOnThread(
        [shown = window.get()](std::string message) { shown->postToPage(std::move(message)); });

    platform::PageHooks hooks;
    hooks.sources.embedded = [](std::string_view uri) -> std::optional<platform::PageFile> {
        std::optional<EmbeddedResponse> response = serveEmbeddedResource(uri);
        if (!response) return std::nullopt;
        return platform::PageFile{response->body, response->mimeType};
    };
    hooks.sources.assetsFolder = [] { return studio::assetsFolder(); };
    // Read on every request, so a folder chosen later is served at once. A root that becomes
    // empty (its file deleted by hand) leaves the last folder served, as a mapping would stay.
    std::string speciesFolder;
    hooks.sources.speciesFolder = [&app, &speciesFolder] {
        if (!app.serverRoot.empty())
            speciesFolder = app.serverRoot.path() + platform::pathSeparator + "species";
        return speciesFolder;
    };
    bool connected = false;
    hooks.onMessage = [&app, &connected](const std::string& message) {
        if (!connected) {
            connected = true;
            // One line that tells whoever started the tool that the page came up and can
            // reach it.
            std::cerr << "forgeset-server-tool: page connected\n";
        }
        bridge::dispatchCommand(app, message);
    };
    window->run(std::move(hooks));
    // The window is gone: the process ends here, as it ends when its window closes.
    session.exit(0);
}
