#include "server/resources.h"

#include "bridge/app.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/files.h"
#include "server/commands.h"
#include "server/config.h"
#include "server/state.h"
#include "server/templates.h"

namespace server {

namespace {

// Keeps the first failure of several steps that are all tried: each file of a resource is
// worth writing even when another could not be.
void keepFirstFailure(platform::Result<>& first, const platform::Result<>& step) {
    if (first && !step) first = step;
}

// Writes a template only where no file of that name exists, so an owner's edits survive.
platform::Result<> writeIfMissing(const std::string& path, std::string_view content) {
    if (bridge::fileExists(path)) return {};
    return platform::writeWholeFile(path, std::string(content));
}

platform::Result<> createOrdinaryResource(const std::string& folder, const std::string& name) {
    platform::Result<> result = bridge::makeDirs(folder + "/ui");
    const std::string utf8Name = bridge::toUtf8(name);
    auto fill = [&](std::string_view text) { return bridge::replaceAll(text, "%NAME%", utf8Name); };
    keepFirstFailure(result, platform::writeWholeFile(folder + "/manifest.lua",
                                                      fill(templates::ordinaryManifest)));
    keepFirstFailure(
        result, platform::writeWholeFile(folder + "/server.lua", fill(templates::ordinaryServer)));
    keepFirstFailure(
        result, platform::writeWholeFile(folder + "/client.lua", fill(templates::ordinaryClient)));
    keepFirstFailure(result, platform::writeWholeFile(folder + "/ui/index.html",
                                                      fill(templates::ordinaryUiPage)));
    return result;
}

}  // namespace

std::string resourcesFolder(const std::string& root) {
    return root + "/resources";
}

platform::Result<> ensureSkinsResource(const std::string& root) {
    const std::string folder = resourcesFolder(root) + "/skins";
    platform::Result<> result = bridge::makeDirs(folder);
    keepFirstFailure(result, writeIfMissing(folder + "/manifest.lua", templates::skinsManifest));
    keepFirstFailure(result, writeIfMissing(folder + "/server.lua", templates::skinsServer));
    keepFirstFailure(result, writeIfMissing(folder + "/client.lua", templates::skinsClient));
    keepFirstFailure(result, bridge::makeDirs(folder + "/textures"));
    return result;
}

namespace command {

void newResource(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!bridge::isPlainName(name)) {
        bridge::sendNotice(app, "Resource names use letters, digits, _ and -.", true);
        return;
    }
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/" + name;
    if (bridge::folderExists(folder)) {
        bridge::sendNotice(app, "That resource already exists.", true);
        return;
    }
    platform::Result<> created;
    if (name == "skins") {
        created = ensureSkinsResource(app.serverRoot.path());
        if (created)
            created = platform::writeWholeFile(folder + "/skins.lua",
                                               std::string(templates::defaultSkinList));
    } else {
        created = createOrdinaryResource(folder, name);
    }
    // A resource whose files could not be written is not switched on: the server would fail
    // to load it, and the owner would be told it was created.
    if (!created) {
        bridge::sendFailureNotice(app, "Could not write the files of resource " + name + ".",
                                  created.error());
        sendState(app);
        return;
    }
    if (platform::Result<> loaded = updateResourceLoad(app.serverRoot.path(), name, true)) {
        bridge::sendNotice(app, "Resource " + name + " created and enabled.", false);
    } else {
        bridge::sendFailureNotice(
            app, "Resource " + name + " created, but server.cfg could not be written.",
            loaded.error());
    }
    sendState(app);
}

}  // namespace command

}  // namespace server
