#include "server/resources.h"

#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "server/commands.h"
#include "server/config.h"
#include "server/state.h"
#include "server/templates.h"

namespace {

// Writes a template only where no file of that name exists, so an owner's edits survive.
bool writeIfMissing(const std::string& path, std::string_view content) {
    if (fileExists(path)) return true;
    return writeFileBytes(path, std::string(content)).has_value();
}

bool createOrdinaryResource(const std::string& folder, const std::string& name) {
    makeDirs(folder + "/ui");
    const std::string utf8Name = toUtf8(name);
    auto fill = [&](std::string_view text) { return replaceAll(text, "%NAME%", utf8Name); };
    bool ok =
        writeFileBytes(folder + "/manifest.lua", fill(templates::ordinaryManifest)).has_value();
    ok = writeFileBytes(folder + "/server.lua", fill(templates::ordinaryServer)) && ok;
    ok = writeFileBytes(folder + "/client.lua", fill(templates::ordinaryClient)) && ok;
    ok = writeFileBytes(folder + "/ui/index.html", fill(templates::ordinaryUiPage)) && ok;
    return ok;
}

}  // namespace

std::string resourcesFolder(const std::string& root) {
    return root + "/resources";
}

bool ensureSkinsResource(const std::string& root) {
    const std::string folder = resourcesFolder(root) + "/skins";
    makeDirs(folder);
    bool ok = writeIfMissing(folder + "/manifest.lua", templates::skinsManifest);
    ok = writeIfMissing(folder + "/server.lua", templates::skinsServer) && ok;
    ok = writeIfMissing(folder + "/client.lua", templates::skinsClient) && ok;
    makeDirs(folder + "/textures");
    return ok && folderExists(folder + "/textures");
}

namespace command {

void newResource(App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = jsonString(message, "name");
    if (!isPlainName(name)) {
        sendNotice(app, "Resource names use letters, digits, _ and -.", true);
        return;
    }
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/" + name;
    if (folderExists(folder)) {
        sendNotice(app, "That resource already exists.", true);
        return;
    }
    bool created;
    if (name == "skins") {
        created = ensureSkinsResource(app.serverRoot.path()) &&
                  writeFileBytes(folder + "/skins.lua", std::string(templates::defaultSkinList));
    } else {
        created = createOrdinaryResource(folder, name);
    }
    // A resource whose files could not be written is not switched on: the server would fail
    // to load it, and the owner would be told it was created.
    if (!created) {
        sendNotice(app, "Could not write the files of resource " + name + ".", true);
        sendState(app);
        return;
    }
    if (updateResourceLoad(app.serverRoot.path(), name, true)) {
        sendNotice(app, "Resource " + name + " created and enabled.", false);
    } else {
        sendNotice(app, "Resource " + name + " created, but server.cfg could not be written.",
                   true);
    }
    sendState(app);
}

}  // namespace command
