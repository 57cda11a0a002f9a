#include "server/state.h"

#include <string_view>
#include <unordered_set>

#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "server/commands.h"
#include "server/config.h"
#include "server/resources.h"

namespace server {

namespace {

void appendFlag(std::string& out, std::string_view member, bool value) {
    out += ",\"";
    out += member;
    out += "\":";
    out += value ? "true" : "false";
}

bool pluginPresent(const std::string& root) {
    const std::string tail = "/server-plugin/build/varra-forgeset-server.dll";
    return bridge::fileExists(root + tail) || bridge::fileExists(root + "/.." + tail);
}

void appendResources(std::string& out, const std::string& root, const ServerConfig& config) {
    const std::string folder = resourcesFolder(root);
    // One pass over the file instead of one per resource: servers with thousands of
    // resources have thousands of load lines.
    std::unordered_set<std::string_view> loaded;
    for (const ConfigLine& line : config.lines) {
        if (line.key() == "load") loaded.insert(line.value());
    }
    bool first = true;
    for (const std::string& name : bridge::listSubdirs(folder)) {
        const std::string path = folder + "/" + name;
        out += first ? "{\"name\":" : ",{\"name\":";
        first = false;
        bridge::appendJsonString(out, name);
        appendFlag(out, "enabled", loaded.count(name) > 0);
        appendFlag(out, "manifest", bridge::fileExists(path + "/manifest.lua"));
        appendFlag(out, "server", bridge::fileExists(path + "/server.lua"));
        appendFlag(out, "client", bridge::fileExists(path + "/client.lua"));
        out += '}';
    }
}

// skins.json is the page's own document and normally goes in as it stands. A hand edit that
// broke it must not make the whole message unreadable (the page would lose every tab), so
// text that is not one JSON value goes in as a string the page can report instead.
void appendSkins(std::string& out, std::string_view bytes) {
    // Editors on Windows like to start a hand-edited file with a byte-order mark.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.empty()) {
        out += "null";
        return;
    }
    // The check accepts only well-formed UTF-8, so valid bytes can go in as they are; a
    // document that is JSON once its stray bytes are replaced goes in replaced.
    if (bridge::isJsonText(bytes)) {
        out += bytes;
        return;
    }
    std::string text = bridge::fromUtf8(bytes);
    if (bridge::isJsonText(text)) {
        out += text;
    } else {
        bridge::appendJsonString(out, text);
    }
}

}  // namespace

std::string buildStateMessage(const std::string& root) {
    const bool found = !root.empty() && bridge::folderExists(root);
    const std::string skinsFolder = resourcesFolder(root) + "/skins";
    const std::string skins =
        found ? bridge::readFileBytes(skinsFolder + "/skins.json") : std::string();
    const std::string brains =
        found ? bridge::readFileBytes(root + "/data/ai/brains.json") : std::string();
    const std::string spawns =
        found ? bridge::readFileBytes(root + "/data/ai/spawns.json") : std::string();
    std::string out;
    // The documents make up nearly all of the message; growing it step by step would copy
    // them several times over.
    out.reserve(skins.size() + (brains.size() + spawns.size()) * 11 / 10 + 64 * 1024);
    out += "{\"type\":\"state\",\"root\":";
    bridge::appendJsonString(out, root);
    appendFlag(out, "found", found);
    appendFlag(out, "runner", found && bridge::fileExists(root + "/VarraForgesetServer.exe"));
    appendFlag(out, "plugin", found && pluginPresent(root));

    const ServerConfig config = found ? readServerConfig(root) : ServerConfig{};
    out += ",\"cfg\":{";
    for (std::size_t i = 0; i < configKeys.size(); ++i) {
        if (i) out += ',';
        bridge::appendJsonString(out, configKeys[i]);
        out += ':';
        bridge::appendJsonString(out, configValue(config, configKeys[i]));
    }
    out += "},\"resources\":[";
    if (found) appendResources(out, root, config);
    out += ']';

    appendFlag(out, "skinsLua", found && bridge::fileExists(skinsFolder + "/skins.lua"));
    out += ",\"skins\":";
    appendSkins(out, skins);

    out += ",\"ai\":{\"brains\":";
    bridge::appendJsonString(out, brains);
    out += ",\"spawns\":";
    bridge::appendJsonString(out, spawns);
    out += "},\"textures\":[";
    if (found) {
        bool first = true;
        for (const std::string& name : bridge::listFiles(skinsFolder + "/textures", "*.png")) {
            if (!first) out += ',';
            first = false;
            bridge::appendJsonString(out, name);
        }
    }
    out += "]}";
    return out;
}

void sendState(bridge::App& app) {
    bridge::postToUi(app, buildStateMessage(app.serverRoot.path()));
}

namespace command {

void refresh(bridge::App& app, const std::string&) {
    sendState(app);
}

}  // namespace command

}  // namespace server
