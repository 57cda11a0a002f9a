#pragma once
#include <string>

struct App;

// The whole "state" message for a server root, built anew from the disk.
std::string buildStateMessage(const std::string& root);

// Builds the state message and posts it.
void sendState(App& app);
