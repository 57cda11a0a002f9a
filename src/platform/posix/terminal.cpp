#include "platform/terminal.h"

#include <cstdlib>

#include "platform/process.h"

namespace platform {

namespace {

bool displayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// Each terminal with the option that ends its own options and takes the program to run.
struct Terminal {
    const char* program;
    const char* runOption;
};

constexpr Terminal kTerminals[] = {
    {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
    {"xfce4-terminal", "-x"},      {"mate-terminal", "-x"},  {"lxterminal", "-e"},
    {"alacritty", "-e"},           {"xterm", "-e"},
};

}  // namespace

std::vector<std::string> terminalLauncher() {
    if (!displayPresent()) return {};
    for (const Terminal& terminal : kTerminals) {
        std::string path = findProgram(terminal.program);
        if (!path.empty()) return {path, terminal.runOption};
    }
    return {};
}

}  // namespace platform
