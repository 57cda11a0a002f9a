#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "server/commands.h"
#include "server/config.h"
#include "server/resources.h"
#include "server/skins_save.h"
#include "server/state.h"

namespace command {

void saveSkins(App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string json = base64Decode(jsonString(message, "json"));
    const std::string lua = base64Decode(jsonString(message, "lua"));
    if (json.empty() || lua.empty()) {
        sendNotice(app, "Nothing to save.", true);
        return;
    }
    ensureSkinsResource(app.serverRoot.path());
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/skins";
    const std::string jsonPath = folder + "/skins.json";
    const std::string luaPath = folder + "/skins.lua";
    // No skins.json means skins.lua was written by hand: keep that text before replacing it,
    // and stop rather than lose it when the copy fails.
    if (!fileExists(jsonPath) && fileExists(luaPath) && !copyFileBytes(luaPath, luaPath + ".bak")) {
        sendNotice(app, "Could not back up skins.lua; nothing was saved.", true);
        sendState(app);
        return;
    }
    // The server reads skins.lua at start: each file is replaced in one step, and the pair
    // is completed from its record should the tool stop between the two.
    if (SkinsWrite saved = saveSkinsPair(folder, json, lua); saved == SkinsWrite::jsonFailed) {
        sendNotice(app, "Could not write skins.json.", true);
    } else if (saved == SkinsWrite::luaFailed) {
        sendNotice(app, "Could not write skins.lua.", true);
    } else if (!updateResourceLoad(app.serverRoot.path(), "skins", true)) {
        sendNotice(app, "Could not write server.cfg.", true);
    } else {
        sendNotice(app, "Skins saved. Restart the server to apply.", false);
    }
    sendState(app);
}

}  // namespace command
