#include "bridge/dispatcher.h"

#include <exception>
#include <string>

#include "bridge/app.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"

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
}
