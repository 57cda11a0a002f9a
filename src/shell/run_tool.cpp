#include "shell/run_tool.h"

#include <iostream>

#include "platform/memory.h"
#include "shell/desktop_host.h"
#include "shell/options.h"
#include "shell/serve_host.h"
#include "shell/stdio_host.h"

int runTool(const std::vector<std::string>& arguments) {
    // Standard output carries messages only; the C++ streams need no sync with C stdio.
    std::ios::sync_with_stdio(false);
    platform::releaseLargeBlocksAtOnce(std::size_t{1} << 20);
    const ParsedOptions parsed = parseOptions(arguments);
    if (const std::optional<int> code = exitBeforeAnyHost(parsed)) return *code;
    const Options& options = parsed.options;
    switch (options.host) {
        case Options::Host::stdio:
            runStdioHost(options);
        case Options::Host::serve:
            return runServeHost(options);
        case Options::Host::none:
            return desktopAvailable() ? runDesktopHost(options) : runServeHost(options);
    }
    return 2;
}
