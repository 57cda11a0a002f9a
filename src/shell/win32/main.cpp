#include <iostream>

#include "platform/memory.h"
#include "platform/win32/console.h"
#include "shell/options.h"
#include "shell/serve_host.h"
#include "shell/stdio_host.h"

// The Windows entry: the headless host and the browser host. The window comes with its
// Windows form; until then the default is refused plainly, so a script never mistakes this
// build for one that has it.
int main() {
    // Standard output carries messages only; the C++ streams need no sync with C stdio.
    std::ios::sync_with_stdio(false);
    platform::win32::useBinaryStandardStreams();
    platform::releaseLargeBlocksAtOnce(std::size_t{1} << 20);
    ParsedOptions parsed = parseOptions(platform::win32::commandLineArguments());
    if (const std::optional<int> code = exitBeforeAnyHost(parsed)) return *code;
    const Options& options = parsed.options;
    switch (options.host) {
        case Options::Host::stdio:
            runStdioHost(options);
        case Options::Host::serve:
            return runServeHost(options);
        case Options::Host::none:
            break;
    }
    std::cerr << "forgeset-server-tool: this Windows build has no window yet; start it with "
                 "--serve or --stdio\n";
    return 2;
}
