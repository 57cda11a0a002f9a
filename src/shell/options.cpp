#include "shell/options.h"

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
    return "Usage: forgeset-server-tool [--stdio] [--root DIR] [--dialogs FILE]\n"
           "\n"
           "Varra Forgeset Server Tool: edits server.cfg, resources, skins and creature AI of\n"
           "a dedicated server folder and starts the server.\n"
           "\n"
           "  --stdio         headless: read one JSON command per line on standard input and\n"
           "                  write one JSON message per line on standard output; ends at the\n"
           "                  end of input or on {\"cmd\":\"winClose\"}. After pickFolder\n"
           "                  changes the folder, send init again (the page would reload).\n"
           "  --root DIR      use DIR as the server folder, as if chosen in the folder dialog\n"
           "  --dialogs FILE  answer dialogs from FILE, one line per dialog: a folder path, file\n"
           "                  paths joined by '|', or an empty line to cancel\n"
           "  --help          show this text\n";
}
