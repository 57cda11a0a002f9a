#include "bridge/dispatcher.h"

#include <exception>
#include <string>

#include "bridge/app.h"
#include "bridge/diagnostics.h"
#include "bridge/json_read.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "bridge/text.h"

namespace bridge {

namespace {

// Enough for any real command name; a page or script that sends a long one gets its start.
constexpr std::size_t kShownNameBytes = 64;

}  // namespace

std::string unknownCommandLine(std::string_view name) {
    if (name.empty()) return "forgeset-server-tool: ignored a message without a command";
    std::string_view shown = name;
    bool cut = false;
    if (shown.size() > kShownNameBytes) {
        std::size_t end = kShownNameBytes;
        // The name is valid UTF-8: back up over continuation bytes to a character's start.
        while (end > 0 && (static_cast<unsigned char>(shown[end]) & 0xC0) == 0x80)
            --end;
        shown = shown.substr(0, end);
        cut = true;
    }
    return "forgeset-server-tool: ignored unknown command \"" + jsonEscape(shown) + "\"" +
           (cut ? "..." : "");
}

void runReportingFailures(App& app, std::string_view name, const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        sendNotice(app, "Unexpected error in " + std::string(name) + ": " + e.what(), true);
    } catch (...) {
        sendNotice(app, "Unexpected error in " + std::string(name) + ".", true);
    }
}

void dispatchCommand(App& app, std::string_view message) {
    // Scripts and pages can send any bytes; handlers and the files they write only ever see
    // valid UTF-8.
    const std::string text = fromUtf8(message);
    const std::string name = jsonString(text, "cmd");
    for (const Command& command : app.commands) {
        if (command.name != name) continue;
        runReportingFailures(app, name, [&] { command.run(app, text); });
        return;
    }
    if (app.diagnostics) writeDiagnosticLine(*app.diagnostics, unknownCommandLine(name));
}

}  // namespace bridge
