// windows.h first: the entry point's types come from it.
#include <windows.h>

#include <iostream>

#include "platform/memory.h"
#include "platform/win32/console.h"
#include "shell/desktop_host.h"
#include "shell/options.h"
#include "shell/serve_host.h"
#include "shell/stdio_host.h"

// The Windows entry. The tool is a windows program, so starting it shows no console window;
// the headless hosts use the streams whoever started them handed over, or that one's console.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::win32::useParentConsole();
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
            return runDesktopHost(options);
    }
    return 2;
}
