#pragma once
#include "shell/options.h"

// The browser host: serves the page on 127.0.0.1 and carries its messages. Prints the
// address to open on standard output and runs until the page sends winClose; returns the
// exit code.
int runServeHost(const Options& options);
