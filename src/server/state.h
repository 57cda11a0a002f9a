#pragma once
#include <string>

namespace bridge {
struct App;
}  // namespace bridge

namespace server {

// The whole "state" message for a server root, built anew from the disk.
std::string buildStateMessage(const std::string& root);

// Builds the state message and posts it.
void sendState(bridge::App& app);

}  // namespace server
