#pragma once
#include <iosfwd>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace bridge {

struct App;

// A notice names what the owner can act on ("Could not write skins.json."); the system's
// reason and the step that failed go to standard error beside it, where whoever looks into a
// failure (a script on the stdio host, a terminal, a log) finds them. The notice text stays
// the page's own.

// Writes one line and its line end to `out` (standard error, or what a test catches), whole:
// the hosts run commands on several threads, and the standard streams are not synchronised
// with C's, so only one thread at a time may write.
void writeDiagnosticLine(std::ostream& out, std::string_view line);

// "<step>: <the system's text for the error number>", or just the step where there is none.
std::string failureText(const platform::Failure& failure);

// One line on standard error: "forgeset-server-tool: <context> (<failureText>)".
void reportFailure(std::string_view context, const platform::Failure& failure);

// The error notice, and the line above with the notice's text as its context.
void sendFailureNotice(App& app, std::string_view text, const platform::Failure& failure);

}  // namespace bridge
