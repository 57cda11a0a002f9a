#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "platform/files.h"
#include "server/commands.h"
#include "server/state.h"

namespace server {

namespace command {

void saveAi(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string file = bridge::jsonString(message, "file");
    std::string data;
    if (file == "brains" || file == "spawns")
        data = bridge::base64Decode(bridge::jsonString(message, "data"));
    if (data.empty()) {
        bridge::sendNotice(app, "Nothing to save.", true);
        return;
    }
    const std::string folder = app.serverRoot.path() + "/data/ai";
    const std::string target = folder + "/" + file + ".json";
    const std::string temporary = target + ".tmp";
    // A running server rereads these files at any moment: it must see the old text or the
    // new one, never a half-written file, hence the temporary file and one rename. The
    // temporary is the tool's own, so a link planted at its name is never written through.
    platform::Result<> saved = bridge::makeDirs(folder);
    if (saved) saved = platform::createWholeFile(temporary, data);
    if (saved) saved = platform::renameReplacing(temporary, target);
    if (saved) {
        bridge::sendNotice(app, "Saved. A running server picks it up within a few seconds.", false);
        sendState(app);
        return;
    }
    bridge::sendFailureNotice(app, "Could not write " + file + ".json.", saved.error());
}

}  // namespace command

}  // namespace server
