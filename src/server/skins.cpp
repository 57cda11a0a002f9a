#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "server/commands.h"
#include "server/config.h"
#include "server/resources.h"
#include "server/skins_save.h"
#include "server/state.h"

namespace server {

namespace command {

void saveSkins(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string json = bridge::base64Decode(bridge::jsonString(message, "json"));
    const std::string lua = bridge::base64Decode(bridge::jsonString(message, "lua"));
    if (json.empty() || lua.empty()) {
        bridge::sendNotice(app, "Nothing to save.", true);
        return;
    }
    // The resource's own files are completed where missing; the save itself reports what it
    // could not write, so a missing template is only worth a diagnostic line.
    if (platform::Result<> made = ensureSkinsResource(app.serverRoot.path()); !made)
        bridge::reportFailure("Could not complete the skins resource", made.error());
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/skins";
    const std::string jsonPath = folder + "/skins.json";
    const std::string luaPath = folder + "/skins.lua";
    // No skins.json means skins.lua was written by hand: keep that text before replacing it,
    // and stop rather than lose it when the copy fails.
    if (!bridge::fileExists(jsonPath) && bridge::fileExists(luaPath)) {
        if (platform::Result<> kept = bridge::copyFileBytes(luaPath, luaPath + ".bak"); !kept) {
            bridge::sendFailureNotice(app, "Could not back up skins.lua; nothing was saved.",
                                      kept.error());
            sendState(app);
            return;
        }
    }
    // The server reads skins.lua at start: each file is replaced in one step, and the pair
    // is completed from its record should the tool stop between the two.
    if (SkinsWrite saved = saveSkinsPair(folder, json, lua); saved == SkinsWrite::jsonFailed) {
        bridge::sendNotice(app, "Could not write skins.json.", true);
    } else if (saved == SkinsWrite::luaFailed) {
        bridge::sendNotice(app, "Could not write skins.lua.", true);
    } else if (platform::Result<> loaded = updateResourceLoad(app.serverRoot.path(), "skins", true);
               !loaded) {
        bridge::sendFailureNotice(app, "Could not write server.cfg.", loaded.error());
    } else {
        bridge::sendNotice(app, "Skins saved. Restart the server to apply.", false);
    }
    sendState(app);
}

}  // namespace command

}  // namespace server
