#include "shell/serve_host.h"

#include <iostream>

// Being written: the browser host.
int runServeHost(const Options&) {
    std::cerr << "forgeset-server-tool: the browser host is not built yet; use --stdio.\n";
    return 2;
}
