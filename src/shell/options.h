#pragma once
#include <optional>
#include <string>
#include <vector>

// What the command line asks for.
struct Options {
    // none: the desktop window when a display is present, else the browser host.
    enum class Host { none, stdio, serve } host = Host::none;
    int port = 0;  // --port N for --serve; 0 picks a free port
    bool help = false;
    std::optional<std::string> root;     // --root DIR
    std::optional<std::string> dialogs;  // --dialogs FILE
};

struct ParsedOptions {
    Options options;
    std::string error;  // non-empty when the command line is wrong
};

ParsedOptions parseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string usageText();

// What both entries do with a parsed command line before choosing a host: a wrong one is
// reported with the usage on standard error (exit code 2), --help prints the usage (0).
// Nothing when a host is to be started.
std::optional<int> exitBeforeAnyHost(const ParsedOptions& parsed);
