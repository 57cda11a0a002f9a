#include "bridge/app.h"
#include "bridge/base64.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "server/commands.h"
#include "server/resources.h"
#include "server/state.h"

// The studio paints a texture, but where it lands is the server's: the skins resource, which
// is made on the way, and the answer is the server's state with the new texture listed.
namespace command {

void studioSaveTexture(App& app, const std::string& message) {
    if (app.serverRoot.empty()) return;
    const std::string name = jsonString(message, "name");
    if (!isPlainName(name)) {
        sendNotice(app, "Texture name: letters, digits, _ and -.", true);
        return;
    }
    const std::string png = base64Decode(jsonString(message, "png"));
    if (png.size() < 100) {
        sendNotice(app, "Empty texture.", true);
        return;
    }
    ensureSkinsResource(app.serverRoot.path());
    const std::string folder = resourcesFolder(app.serverRoot.path()) + "/skins/textures";
    makeDirs(folder);
    // The notice keeps the tool's Windows wording, backslash included, on every platform.
    const std::string shown = "textures\\" + name + ".png";
    // The studio's painting is the tool's own file: a link at its name is replaced, not
    // followed to wherever it points.
    if (replaceFileBytes(folder + "/" + name + ".png", png, platform::AtLink::replace)) {
        sendNotice(app, "Texture saved as " + shown, false);
    } else {
        sendNotice(app, "Could not write " + shown + ".", true);
    }
    sendState(app);
}

}  // namespace command
