#pragma once
#include <optional>

#include "bridge/app.h"
#include "platform/dialogs.h"
#include "shell/options.h"

// The dialog answers of --dialogs, or none when the option is absent. Exits the process with
// code 2 and a message when the file cannot be read.
std::optional<platform::ScriptedDialogs> scriptedDialogs(const Options& options);

// What every host does before its first command: the assets folder exists, the server root
// is loaded, and --root applied as if chosen in the folder dialog.
void startApp(App& app, const Options& options);
