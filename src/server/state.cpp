#include "server/state.h"

#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "server/config.h"
#include "server/resources.h"

namespace {

void appendFlag(std::string& out, std::string_view member, bool value) {
    out += ",\"";
    out += member;
    out += "\":";
    out += value ? "true" : "false";
}

bool pluginPresent(const std::string& root) {
    const std::string tail = "/server-plugin/build/varra-forgeset-server.dll";
    return fileExists(root + tail) || fileExists(root + "/.." + tail);
}

void appendResources(std::string& out, const std::string& root, const ServerConfig& config) {
    const std::string folder = resourcesFolder(root);
    bool first = true;
    for (const std::string& name : listSubdirs(folder)) {
        const std::string path = folder + "/" + name;
        out += first ? "{\"name\":" : ",{\"name\":";
        first = false;
        appendJsonString(out, name);
        appendFlag(out, "enabled", isResourceLoaded(config, name));
        appendFlag(out, "manifest", fileExists(path + "/manifest.lua"));
        appendFlag(out, "server", fileExists(path + "/server.lua"));
        appendFlag(out, "client", fileExists(path + "/client.lua"));
        out += '}';
    }
}

// skins.json is the page's own document and normally goes in as it stands. A hand edit that
// broke it must not make the whole message unreadable (the page would lose every tab), so
// text that is not one JSON value goes in as a string the page can report instead.
void appendSkins(std::string& out, const std::string& bytes) {
    if (bytes.empty()) {
        out += "null";
        return;
    }
    std::string text = fromUtf8(bytes);
    if (isJsonText(text)) {
        out += text;
    } else {
        appendJsonString(out, text);
    }
}

}  // namespace

std::string buildStateMessage(const std::string& root) {
    const bool found = !root.empty() && folderExists(root);
    std::string out = "{\"type\":\"state\",\"root\":";
    appendJsonString(out, root);
    appendFlag(out, "found", found);
    appendFlag(out, "runner", found && fileExists(root + "/VarraForgesetServer.exe"));
    appendFlag(out, "plugin", found && pluginPresent(root));

    const ServerConfig config = found ? readServerConfig(root) : ServerConfig{};
    out += ",\"cfg\":{";
    for (std::size_t i = 0; i < configKeys.size(); ++i) {
        if (i) out += ',';
        appendJsonString(out, configKeys[i]);
        out += ':';
        appendJsonString(out, configValue(config, configKeys[i]));
    }
    out += "},\"resources\":[";
    if (found) appendResources(out, root, config);
    out += ']';

    const std::string skinsFolder = resourcesFolder(root) + "/skins";
    appendFlag(out, "skinsLua", found && fileExists(skinsFolder + "/skins.lua"));
    out += ",\"skins\":";
    appendSkins(out, found ? readFileBytes(skinsFolder + "/skins.json") : std::string());

    out += ",\"ai\":{\"brains\":";
    appendJsonString(out, found ? readFileBytes(root + "/data/ai/brains.json") : std::string());
    out += ",\"spawns\":";
    appendJsonString(out, found ? readFileBytes(root + "/data/ai/spawns.json") : std::string());
    out += "},\"textures\":[";
    if (found) {
        bool first = true;
        for (const std::string& name : listFiles(skinsFolder + "/textures", "*.png")) {
            if (!first) out += ',';
            first = false;
            appendJsonString(out, name);
        }
    }
    out += "]}";
    return out;
}

void sendState(App& app) {
    postToUi(app, buildStateMessage(app.serverRoot));
}

namespace command {

void refresh(App& app, const std::string&) {
    sendState(app);
}

}  // namespace command
