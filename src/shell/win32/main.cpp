#include <iostream>

#include "platform/memory.h"
#include "platform/win32/console.h"
#include "shell/options.h"
#include "shell/stdio_host.h"

// The Windows entry: for now only the headless host. The window and the browser host come
// with their Windows forms; until then a request for them is refused plainly, so a script
// never mistakes this build for one that has them.
int main() {
    // Standard output carries messages only; the C++ streams need no sync with C stdio.
    std::ios::sync_with_stdio(false);
    platform::win32::useBinaryStandardStreams();
    platform::releaseLargeBlocksAtOnce(std::size_t{1} << 20);
    ParsedOptions parsed = parseOptions(platform::win32::commandLineArguments());
    if (const std::optional<int> code = exitBeforeAnyHost(parsed)) return *code;
    const Options& options = parsed.options;
    if (options.host != Options::Host::stdio) {
        std::cerr << "forgeset-server-tool: this Windows build runs only the headless host for "
                     "now; start it with --stdio (the window and --serve are not built for "
                     "Windows yet)\n";
        return 2;
    }
    runStdioHost(options);
}
