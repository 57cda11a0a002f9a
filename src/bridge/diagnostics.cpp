#include "bridge/diagnostics.h"

#include <iostream>
#include <mutex>
#include <system_error>

#include "bridge/messages.h"

namespace bridge {

std::string failureText(const platform::Failure& failure) {
    if (failure.code == 0) return failure.what;
    // The generic category's text is that of <cerrno>, which is what the platform layer
    // gives on every system; unlike strerror it may be called from any thread.
    return failure.what + ": " + std::generic_category().message(failure.code);
}

void writeDiagnosticLine(std::ostream& out, std::string_view line) {
    static std::mutex writing;
    std::lock_guard lock(writing);
    out << line << '\n' << std::flush;
}

void reportFailure(std::string_view context, const platform::Failure& failure) {
    std::string line = "forgeset-server-tool: ";
    line += context;
    line += " (" + failureText(failure) + ")";
    writeDiagnosticLine(std::cerr, line);
}

void sendFailureNotice(App& app, std::string_view text, const platform::Failure& failure) {
    reportFailure(text, failure);
    sendNotice(app, text, true);
}

}  // namespace bridge
