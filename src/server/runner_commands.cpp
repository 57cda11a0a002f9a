#include "bridge/app.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/messages.h"
#include "platform/file_tree.h"
#include "platform/shell.h"
#include "server/commands.h"
#include "server/runner_launch.h"

namespace server {

namespace {

std::string guidePath(const std::string& programFolder) {
    const std::string beside = programFolder + "/docs/server-owner-guide.md";
    // A development build runs from a folder one level below the guide.
    return bridge::fileExists(beside) ? beside : programFolder + "/../docs/server-owner-guide.md";
}

}  // namespace

namespace command {

void startRunner(bridge::App& app, const std::string&) {
    const std::string runner = app.serverRoot.path() + "/VarraForgesetServer.exe";
    if (app.serverRoot.empty() || !bridge::fileExists(runner)) {
        bridge::sendNotice(app, "VarraForgesetServer.exe not found in the server folder.", true);
        return;
    }
    // The runner starts inside the server folder, where a root given relative to our own
    // current folder (--root, a hand-edited server-root.txt) would no longer lead to it.
    const platform::Result<std::string> absolute = platform::absolutePath(app.serverRoot.path());
    const std::string root = absolute ? *absolute : app.serverRoot.path();
    const RunnerLaunch launch = planRunnerLaunch(root, root + "/VarraForgesetServer.exe");
    if (launch.argv.empty()) {
        bridge::sendNotice(app, launch.notice, true);
        return;
    }
    if (!launch.logFile.empty()) {
        if (!bridge::makeDirs(platform::parentPath(launch.logFile))) {
            bridge::sendNotice(app,
                               "Could not start VarraForgesetServer.exe: its log " +
                                   launch.logFile + " cannot be written.",
                               true);
            return;
        }
    }
    if (platform::startDetached(launch.argv, root, launch.logFile)) {
        bridge::sendNotice(app, launch.notice, false);
    } else {
        bridge::sendNotice(app, "Could not start VarraForgesetServer.exe.", true);
    }
}

void open(bridge::App& app, const std::string& message) {
    const std::string what = bridge::jsonString(message, "what");
    if (what == "docs") {
        platform::shellOpen(guidePath(app.programFolder));
        return;
    }
    // Without a server folder there is nothing to show; a path made of the tail alone would
    // point at the top of the file system.
    if (app.serverRoot.empty()) return;
    std::string target = app.serverRoot.path();
    if (what == "resources") {
        target += "/resources";
    } else if (what == "skins") {
        target += "/resources/skins";
    } else if (what == "mods") {
        target += "/client-mods";
    }
    platform::shellOpen(target);
}

}  // namespace command

}  // namespace server
