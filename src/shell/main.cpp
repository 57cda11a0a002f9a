#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "bridge/files.h"
#include "server/root.h"
#include "shell/commands.h"
#include "shell/options.h"
#include "shell/stdio_host.h"
#include "studio/asset_helper.h"

int main(int argc, char** argv) {
    // Standard output carries messages only; the C++ streams need no sync with C stdio.
    std::ios::sync_with_stdio(false);
    ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << "forgeset-server-tool: " << parsed.error << "\n" << usageText();
        return 2;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    if (options.host == Options::Host::none) {
        std::cerr << "forgeset-server-tool: the desktop window and the browser host are not "
                     "available in this build; start it with --stdio.\n"
                  << usageText();
        return 0;
    }

    platform::ScriptedDialogs dialogs;
    if (options.dialogs) {
        auto scripted = platform::ScriptedDialogs::fromFile(*options.dialogs);
        if (!scripted) {
            std::cerr << "forgeset-server-tool: cannot read dialog answers from "
                      << *options.dialogs << "\n";
            return 2;
        }
        dialogs = std::move(*scripted);
    }
    Outbox outbox;
    HeadlessWindow window;
    App app(outbox, dialogs, window, commandTable());
    makeDirs(assetsFolder());
    loadServerRoot(app);
    if (options.root) chooseServerRoot(app, *options.root);
    int code = runStdioHost(app, window, std::cin, std::cout);
    std::cout.flush();
    // A studio job still running after winClose ends with the process, as it would when the
    // window closes; destructors would wait for it.
    std::_Exit(code);
}
