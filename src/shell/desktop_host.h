#pragma once
#include "shell/options.h"

// True when a display is there for the desktop window.
bool desktopAvailable();

// The desktop window: the page in a frameless window. Runs until the window closes;
// returns the exit code (1 when the window or its web view cannot be created).
int runDesktopHost(const Options& options);
