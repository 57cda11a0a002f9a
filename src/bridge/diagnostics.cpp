#include "bridge/diagnostics.h"

#include <iostream>
#include <system_error>

#include "bridge/messages.h"

std::string failureText(const platform::Failure& failure) {
    if (failure.code == 0) return failure.what;
    // The generic category's text is that of <cerrno>, which is what the platform layer
    // gives on every system; unlike strerror it may be called from any thread.
    return failure.what + ": " + std::generic_category().message(failure.code);
}

void reportFailure(std::string_view context, const platform::Failure& failure) {
    // One write of the whole line, so lines of workers reporting at once do not mix.
    std::string line = "forgeset-server-tool: ";
    line += context;
    line += " (" + failureText(failure) + ")\n";
    std::cerr << line << std::flush;
}

void sendFailureNotice(App& app, std::string_view text, const platform::Failure& failure) {
    reportFailure(text, failure);
    sendNotice(app, text, true);
}
