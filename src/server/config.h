#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace server {

// One line of server.cfg. Only `text` is ever written back; key and value are parts of it that
// serve lookups, empty for blank lines, comments and single-word lines. They are kept as
// places in the text rather than copies, so a long value is held once.
struct ConfigLine {
    std::string text;
    std::size_t keyStart = 0, keyLength = 0, valueStart = 0;

    std::string_view key() const { return std::string_view(text).substr(keyStart, keyLength); }
    std::string_view value() const {
        return keyLength ? std::string_view(text).substr(valueStart) : std::string_view();
    }
};

// The lines of server.cfg in file order.
struct ServerConfig {
    std::vector<ConfigLine> lines;
};

// The settings the tool shows and edits, in the order of the state message and of saveCfg.
inline constexpr std::array<std::string_view, 10> configKeys = {
    "sv_hostname",   "sv_maxplayers", "sv_map",    "sv_port",    "sv_httpport",
    "sv_scriptport", "sv_publicip",   "sv_admins", "sv_gamedir", "sv_rconpassword"};

// Splits file text into lines (LF separated, trailing CRs dropped) and reads each line's key.
ServerConfig parseServerConfig(std::string_view text);

// Every line's text followed by CR LF.
std::string serializeServerConfig(const ServerConfig& config);

// root + "/server.cfg"
std::string serverConfigPath(const std::string& root);

// Reads and splits root/server.cfg; missing or unreadable reads as empty.
ServerConfig readServerConfig(const std::string& root);

// Writes root/server.cfg whole, through a temporary file so that a failed write never leaves
// it cut short; fails when it could not be written.
platform::Result<> writeServerConfig(const std::string& root, const ServerConfig& config);

// The value of the first line with this key; empty when none.
std::string_view configValue(const ServerConfig& config, std::string_view key);

// Rewrites the first line with this key as "key value", or appends one.
void setConfigValue(ServerConfig& config, std::string_view key, std::string_view value);

// Whether some line is exactly "load <name>" as a setting (key "load", value equal to name).
bool isResourceLoaded(const ServerConfig& config, std::string_view name);

// Adds "load <name>" at the end when enabling and none exists; removes the first such line
// when disabling.
void setResourceLoad(ServerConfig& config, std::string_view name, bool enabled);

// Reads server.cfg, sets the load line of one resource and writes it back; fails when the
// file could not be written.
platform::Result<> updateResourceLoad(const std::string& root, std::string_view name, bool enabled);

}  // namespace server
