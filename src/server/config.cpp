#include "server/config.h"

#include "bridge/app.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "server/commands.h"
#include "server/state.h"

namespace server {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

ConfigLine splitLine(std::string text) {
    ConfigLine line;
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    if (start < text.size() && text[start] != '#') {
        std::size_t end = start;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        // A single word with nothing after it is not a setting.
        if (end < text.size()) {
            line.keyStart = start;
            line.keyLength = end - start;
            std::size_t value = end;
            while (value < text.size() && isBlank(text[value]))
                ++value;
            line.valueStart = value;
        }
    }
    line.text = std::move(text);
    return line;
}

ConfigLine settingLine(std::string_view key, std::string_view value) {
    ConfigLine line;
    line.text.reserve(key.size() + 1 + value.size());
    line.text.append(key).append(" ").append(value);
    line.keyLength = key.size();
    line.valueStart = key.size() + 1;
    return line;
}

constexpr std::string_view kWriteFailed = "Could not write server.cfg.";

}  // namespace

ServerConfig parseServerConfig(std::string_view text) {
    ServerConfig config;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t feed = text.find('\n', pos);
        std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        std::string_view line = text.substr(pos, end - pos);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        config.lines.push_back(splitLine(std::string(line)));
        pos = feed == std::string_view::npos ? text.size() : feed + 1;
    }
    return config;
}

std::string serializeServerConfig(const ServerConfig& config) {
    std::size_t size = 0;
    for (const ConfigLine& line : config.lines)
        size += line.text.size() + 2;
    std::string out;
    out.reserve(size);
    for (const ConfigLine& line : config.lines) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

std::string serverConfigPath(const std::string& root) {
    return root + "/server.cfg";
}

ServerConfig readServerConfig(const std::string& root) {
    // The file's bytes are let go before the text is split: a long value is held twice, not
    // three times.
    const std::string text = bridge::fromUtf8(bridge::readFileBytes(serverConfigPath(root)));
    return parseServerConfig(text);
}

platform::Result<> writeServerConfig(const std::string& root, const ServerConfig& config) {
    return platform::replaceWholeFile(serverConfigPath(root), serializeServerConfig(config));
}

std::string_view configValue(const ServerConfig& config, std::string_view key) {
    for (const ConfigLine& line : config.lines) {
        if (line.key() == key) return line.value();
    }
    return {};
}

void setConfigValue(ServerConfig& config, std::string_view key, std::string_view value) {
    for (ConfigLine& line : config.lines) {
        if (line.key() == key) {
            line = settingLine(key, value);
            return;
        }
    }
    config.lines.push_back(settingLine(key, value));
}

bool isResourceLoaded(const ServerConfig& config, std::string_view name) {
    for (const ConfigLine& line : config.lines) {
        if (line.key() == "load" && line.value() == name) return true;
    }
    return false;
}

void setResourceLoad(ServerConfig& config, std::string_view name, bool enabled) {
    for (auto it = config.lines.begin(); it != config.lines.end(); ++it) {
        if (it->key() == "load" && it->value() == name) {
            if (!enabled) config.lines.erase(it);
            return;
        }
    }
    if (enabled) config.lines.push_back(settingLine("load", name));
}

platform::Result<> updateResourceLoad(const std::string& root, std::string_view name,
                                      bool enabled) {
    ServerConfig config = readServerConfig(root);
    setResourceLoad(config, name, enabled);
    return writeServerConfig(root, config);
}

namespace command {

void saveCfg(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    platform::Result<> written;
    {
        // Let go before the state is built, which reads the file again.
        ServerConfig config = readServerConfig(app.serverRoot.path());
        std::vector<std::pair<std::string_view, std::string>> edits;
        for (std::string_view key : configKeys) {
            // Only a real key counts: a value that quotes a key's name must not empty that
            // setting.
            if (!bridge::jsonHasKey(message, key)) continue;
            std::string value = bridge::jsonString(message, key);
            // A raw line break would split the line and smuggle in settings of its own.
            if (platform::hasControlCharacter(value)) {
                bridge::sendNotice(app, "Settings cannot hold line breaks or control characters.",
                                   true);
                return;
            }
            edits.emplace_back(key, std::move(value));
        }
        for (auto& [key, value] : edits) {
            setConfigValue(config, key, value);
            std::string().swap(value);
        }
        written = writeServerConfig(app.serverRoot.path(), config);
    }
    if (written) {
        bridge::sendNotice(app, "server.cfg saved. Restart the server to apply.", false);
    } else {
        bridge::sendFailureNotice(app, kWriteFailed, written.error());
    }
    sendState(app);
}

void toggleResource(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    std::string name = bridge::jsonString(message, "name");
    bool enabled = bridge::jsonBool(message, "enabled");
    if (name.empty() || platform::hasControlCharacter(name)) return;
    if (platform::Result<> written = updateResourceLoad(app.serverRoot.path(), name, enabled);
        !written)
        bridge::sendFailureNotice(app, kWriteFailed, written.error());
    sendState(app);
}

}  // namespace command

}  // namespace server
