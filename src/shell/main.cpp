#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bridge/app.h"
#include "shell/commands.h"
#include "shell/desktop_host.h"
#include "shell/options.h"
#include "shell/serve_host.h"
#include "shell/startup.h"
#include "shell/stdio_host.h"

namespace {

int runStdio(const Options& options) {
    platform::ScriptedDialogs dialogs =
        scriptedDialogs(options).value_or(platform::ScriptedDialogs());
    Outbox outbox;
    HeadlessWindow window;
    App app(outbox, dialogs, window, commandTable());
    startApp(app, options);
    int code = runStdioHost(app, window, std::cin, std::cout);
    std::cout.flush();
    // A studio job still running after winClose ends with the process, as it would when the
    // window closes; destructors would wait for it.
    std::_Exit(code);
}

}  // namespace

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
    switch (options.host) {
        case Options::Host::stdio:
            return runStdio(options);
        case Options::Host::serve:
            return runServeHost(options);
        case Options::Host::none:
            return desktopAvailable() ? runDesktopHost(options) : runServeHost(options);
    }
    return 2;
}
