#include "server/state.h"

#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/message_files.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/folder_lookup.h"
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

void appendResources(std::string& out, const std::vector<std::string>& names,
                     const std::string& folder, const ServerConfig& config) {
    // One pass over the file instead of one per resource: servers with thousands of
    // resources have thousands of load lines.
    std::unordered_set<std::string_view> loaded;
    for (const ConfigLine& line : config.lines) {
        if (line.key() == "load") loaded.insert(line.value());
    }
    // Each resource's files are looked up from the resources folder, opened once: thousands
    // of lookups by the whole path would each walk the path to it again.
    const platform::FolderLookup lookup(folder);
    std::string path;
    for (const std::string& name : names) {
        out += &name == names.data() ? "{\"name\":" : ",{\"name\":";
        bridge::appendJsonString(out, name);
        appendFlag(out, "enabled", loaded.count(name) > 0);
        path.assign(name).append("/");
        const std::size_t base = path.size();
        for (const char* file : {"manifest", "server", "client"}) {
            path.resize(base);
            path.append(file).append(".lua");
            appendFlag(out, file, lookup.kind(path) == platform::PathKind::file);
        }
        out += '}';
    }
}

// skins.json is the page's own document and normally goes in as it stands. A hand edit that
// broke it must not make the whole message unreadable (the page would lose every tab), so
// text that is not one JSON value goes in as a string the page can report instead. The file
// is read straight into the message and checked there.
void appendSkins(std::string& out, std::optional<platform::ReadableFile>& file) {
    const std::size_t start = out.size();
    if (file) bridge::appendFileBytes(out, *file);
    // Editors on Windows like to start a hand-edited file with a byte-order mark.
    if (std::string_view(out).substr(start, 3) == "\xEF\xBB\xBF") out.erase(start, 3);
    const std::string_view bytes = std::string_view(out).substr(start);
    if (bytes.empty()) {
        out += "null";
        return;
    }
    // The check accepts only well-formed UTF-8, so valid bytes can stay as they are; a
    // document that is JSON once its stray bytes are replaced goes in replaced.
    if (bridge::isJsonText(bytes)) return;
    const std::string text = bridge::fromUtf8(bytes);
    out.resize(start);
    if (bridge::isJsonText(text)) {
        out += text;
    } else {
        bridge::appendJsonString(out, text);
    }
}

void appendAi(std::string& out, std::optional<platform::ReadableFile>& brains,
              std::optional<platform::ReadableFile>& spawns) {
    out += ",\"ai\":{\"brains\":\"";
    if (brains) bridge::appendFileEscaped(out, *brains);
    out += "\",\"spawns\":\"";
    if (spawns) bridge::appendFileEscaped(out, *spawns);
    out += "\"}";
}

std::size_t sizeOf(const std::optional<platform::ReadableFile>& file) {
    return file ? static_cast<std::size_t>(file->size) : 0;
}

std::size_t namesSize(const std::vector<std::string>& names) {
    std::size_t size = 0;
    for (const std::string& name : names)
        size += name.size();
    return size;
}

}  // namespace

std::string buildStateMessage(const std::string& root) {
    const bool found = !root.empty() && bridge::folderExists(root);
    const std::string resources = resourcesFolder(root);
    const std::string skinsFolder = resources + "/skins";
    auto open = [&](const std::string& path) {
        return found ? bridge::openDocument(path) : std::nullopt;
    };
    std::optional<platform::ReadableFile> skins = open(skinsFolder + "/skins.json");
    std::optional<platform::ReadableFile> brains = open(root + "/data/ai/brains.json");
    std::optional<platform::ReadableFile> spawns = open(root + "/data/ai/spawns.json");
    const ServerConfig config = found ? readServerConfig(root) : ServerConfig{};
    const std::vector<std::string> resourceNames =
        found ? bridge::listSubdirs(resources) : std::vector<std::string>();
    const std::vector<std::string> textures =
        found ? bridge::listFiles(skinsFolder + "/textures", "*.png") : std::vector<std::string>();

    // One buffer for the whole message, sized from what it will hold (the AI documents grow
    // by their escapes, a quote or line break every few bytes), so the documents are
    // written into it once and it is never moved.
    std::string out = bridge::reservedMessage(
        sizeOf(skins) + (sizeOf(brains) + sizeOf(spawns)) * 5 / 4 + namesSize(resourceNames) +
        resourceNames.size() * 96 + namesSize(textures) + textures.size() * 4 + root.size() * 2 +
        16 * 1024);
    out += "{\"type\":\"state\",\"root\":";
    bridge::appendJsonString(out, root);
    appendFlag(out, "found", found);
    appendFlag(out, "runner", found && bridge::fileExists(root + "/VarraForgesetServer.exe"));
    appendFlag(out, "plugin", found && pluginPresent(root));

    out += ",\"cfg\":{";
    for (std::size_t i = 0; i < configKeys.size(); ++i) {
        if (i) out += ',';
        bridge::appendJsonString(out, configKeys[i]);
        out += ':';
        bridge::appendJsonString(out, configValue(config, configKeys[i]));
    }
    out += "},\"resources\":[";
    appendResources(out, resourceNames, resources, config);
    out += ']';

    appendFlag(out, "skinsLua", found && bridge::fileExists(skinsFolder + "/skins.lua"));
    out += ",\"skins\":";
    appendSkins(out, skins);
    appendAi(out, brains, spawns);
    out += ",\"textures\":[";
    for (const std::string& name : textures) {
        if (&name != textures.data()) out += ',';
        bridge::appendJsonString(out, name);
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
