#include "shell/options.h"

#include <cstdlib>
#include <iostream>

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size()) {
                parsed.error = "option " + arg + " needs a value";
                return;
            }
            into = args[++i];
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--stdio") {
            o.host = Options::Host::stdio;
        } else if (arg == "--serve") {
            o.host = Options::Host::serve;
        } else if (arg == "--port") {
            std::optional<std::string> port;
            value(port);
            if (port) {
                char* end = nullptr;
                long n = std::strtol(port->c_str(), &end, 10);
                if (port->empty() || *end != '\0' || n < 0 || n > 65535) {
                    parsed.error = "--port needs a number from 0 to 65535";
                } else {
                    o.port = static_cast<int>(n);
                }
            }
        } else if (arg == "--root") {
            value(o.root);
        } else if (arg == "--dialogs") {
            value(o.dialogs);
        } else {
            parsed.error = "unknown option " + arg;
        }
        if (!parsed.error.empty()) break;
    }
    return parsed;
}

std::string usageText() {
    return "Usage: forgeset-server-tool [--stdio | --serve [--port N]] [--root DIR] [--dialogs "
           "FILE]\n"
           "\n"
           "Varra Forgeset Server Tool: edits server.cfg, resources, skins and creature AI of\n"
           "a dedicated server folder and starts the server. Without a host option it opens\n"
           "its window when a display is present, else it serves its page to a browser.\n"
           "\n"
           "  --serve         serve the page on 127.0.0.1 and print the address to open in a\n"
           "                  browser on this machine (it carries a private token)\n"
           "  --port N        the port for --serve; 0 (the default) picks a free one\n"
           "  --stdio         headless: read one JSON command per line on standard input and\n"
           "                  write one JSON message per line on standard output; ends at the\n"
           "                  end of input or on {\"cmd\":\"winClose\"}. After pickFolder\n"
           "                  changes the folder, send init again (the page would reload).\n"
           "  --root DIR      use DIR as the server folder, as if chosen in the folder dialog\n"
           "  --dialogs FILE  answer dialogs from FILE, one line per dialog: a folder path, file\n"
           "                  paths joined by '|', or an empty line to cancel\n"
           "  --help          show this text\n";
}

std::optional<int> exitBeforeAnyHost(const ParsedOptions& parsed) {
    if (!parsed.error.empty()) {
        std::cerr << "forgeset-server-tool: " << parsed.error << "\n" << usageText();
        return 2;
    }
    if (parsed.options.help) {
        std::cout << usageText();
        return 0;
    }
    return std::nullopt;
}
