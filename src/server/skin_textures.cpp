#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/diagnostics.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/files.h"
#include "server/commands.h"
#include "server/resources.h"
#include "server/state.h"

namespace server {

// The studio paints a texture, but where it lands is the server's: the skins resource, which
// is made on the way, and the answer is the server's state with the new texture listed.
namespace command {

void studioSaveTexture(bridge::App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = bridge::jsonString(message, "name");
    if (!bridge::isPlainName(name)) {
        bridge::sendNotice(app, "Texture name: letters, digits, _ and -.", true);
        return;
    }
    const std::string png = bridge::base64Decode(bridge::jsonString(message, "png"));
    if (png.size() < 100) {
        bridge::sendNotice(app, "Empty texture.", true);
        return;
    }
    // The resource's own files are completed where missing; the save itself reports what it
    // could not write, so a missing template is only worth a diagnostic line.
    if (platform::Result<> made = ensureSkinsResource(app.serverRoot.path()); !made)
        bridge::reportFailure("Could not complete the skins resource", made.error());
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/skins/textures";
    // The notice keeps the tool's Windows wording, backslash included, on every platform.
    const std::string shown = "textures\\" + name + ".png";
    // The studio's painting is the tool's own file: a link at its name is replaced, not
    // followed to wherever it points.
    platform::Result<> saved = bridge::makeDirs(folder);
    if (saved)
        saved = platform::replaceWholeFile(folder + "/" + name + ".png", png,
                                           platform::AtLink::replace);
    if (saved) {
        bridge::sendNotice(app, "Texture saved as " + shown, false);
    } else {
        bridge::sendFailureNotice(app, "Could not write " + shown + ".", saved.error());
    }
    sendState(app);
}

}  // namespace command

}  // namespace server
