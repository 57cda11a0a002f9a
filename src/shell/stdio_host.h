#pragma once
#include "shell/options.h"

// The headless host: one JSON message per line on standard input, one per line on standard
// output and nothing else there. Runs until the input ends or winClose, then ends the process
// with code 0.
[[noreturn]] void runStdioHost(const Options& options);
