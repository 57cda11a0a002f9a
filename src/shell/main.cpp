#include <iostream>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "shell/desktop_host.h"
#include "shell/options.h"
#include "shell/serve_host.h"
#include "shell/stdio_host.h"

int main(int argc, char** argv) {
    // Standard output carries messages only; the C++ streams need no sync with C stdio.
    std::ios::sync_with_stdio(false);
    platform::releaseLargeBlocksAtOnce(std::size_t{1} << 20);
    ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
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
