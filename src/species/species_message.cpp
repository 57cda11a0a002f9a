#include "species/species_message.h"

#include <atomic>
#include <optional>

#include "bridge/app.h"
#include "bridge/asset_helper.h"
#include "bridge/files.h"
#include "bridge/json_write.h"
#include "bridge/message_files.h"
#include "bridge/messages.h"
#include "species/build_state.h"
#include "species/commands.h"
#include "species/workspace.h"

namespace species {

namespace {

const char* literal(bool value) {
    return value ? "true" : "false";
}

// The size of the last message built: the next is reserved at about that, so the files are
// escaped into one buffer that is not moved while it grows. Workspaces change little
// between two messages; when they do, the buffer grows as any string does.
std::atomic<std::size_t> lastMessageSize{0};

// A file's text as a JSON string, escaped straight from the file into the message; a missing
// or unreadable file is "". The escaper turns bytes that are not UTF-8 into U+FFFD, so
// whatever a file holds the message stays JSON.
void appendFileText(std::string& out, const std::string& path) {
    out += '"';
    if (std::optional<platform::ReadableFile> file = bridge::openDocument(path))
        bridge::appendFileEscaped(out, *file);
    out += '"';
}

// The end of build.log. A cut inside a character would start the text with a replacement
// character; the stray continuation bytes are dropped instead, so the log starts cleanly.
void appendLogTail(std::string& out, const std::string& path) {
    const std::string log = bridge::readFileBytes(path);
    std::string_view tail = log;
    if (tail.size() > kLogTailBytes) {
        tail.remove_prefix(tail.size() - kLogTailBytes);
        for (int i = 0; i < 3 && !tail.empty() && (tail.front() & 0xC0) == 0x80; ++i)
            tail.remove_prefix(1);
    }
    out += '"';
    bridge::appendJsonEscaped(out, tail);
    out += '"';
}

void appendHosts(std::string& out, const std::string& kit) {
    out += '[';
    if (!kit.empty()) {
        const std::string hosts = kit + "/hosts";
        bool first = true;
        for (const std::string& file : bridge::listFiles(hosts, "*.json")) {
            if (!first) out += ',';
            first = false;
            appendFileText(out, hosts + "/" + file);
        }
    }
    out += ']';
}

void appendItem(std::string& out, const std::string& root, const std::string& name) {
    const std::string ws = workspaceFolder(root, name);
    out += "{\"name\":";
    bridge::appendJsonString(out, name);
    out += ",\"json\":";
    appendFileText(out, ws + "/species.json");
    out += ",\"inspect\":";
    appendFileText(out, ws + "/source/inspect.json");
    out += ",\"log\":";
    appendLogTail(out, ws + "/build/build.log");
    out += ",\"pak\":";
    out += literal(bridge::fileExists(root + "/client-mods/species_" + name + ".pak"));
    out += ",\"remoteJob\":";
    out += literal(bridge::fileExists(ws + "/build/remote-job.txt"));
    out += '}';
}

void appendItems(std::string& out, const std::string& root) {
    out += '[';
    if (!root.empty()) {
        bool first = true;
        // The name rule also hides the _deleted_ folders that removals leave behind.
        for (const std::string& name : bridge::listSubdirs(speciesFolder(root))) {
            if (!isSpeciesName(name)) continue;
            if (!first) out += ',';
            first = false;
            appendItem(out, root, name);
        }
    }
    out += ']';
}

}  // namespace

std::string buildSpeciesMessage(const bridge::App& app, const std::string& root) {
    const std::string kit = findSpeciesKit(app.programFolder);
    const std::size_t last = lastMessageSize.load(std::memory_order_relaxed);
    std::string out = bridge::reservedMessage(last + last / 8);
    out += "{\"type\":\"species\",\"kit\":";
    out += literal(!kit.empty());
    out += ",\"helper\":";
    out += literal(!bridge::findAssetHelper(app.programFolder).empty());
    out += ",\"busy\":";
    out += literal(app.speciesBusy.load());
    out += ",\"build\":";
    appendBuildState(out, app);
    out += ",\"hosts\":";
    appendHosts(out, kit);
    out += ",\"items\":";
    appendItems(out, root);
    out += '}';
    lastMessageSize.store(out.size(), std::memory_order_relaxed);
    return out;
}

void sendSpeciesMessage(bridge::App& app) {
    // Folder changes are the owner's clicks, so this rarely goes round twice.
    while (true) {
        const std::string root = app.serverRoot.current();
        std::string message = buildSpeciesMessage(app, root);
        if (app.serverRoot.whileCurrent(root, [&] { bridge::postToUi(app, std::move(message)); }))
            return;
    }
}

namespace command {

void speciesRefresh(bridge::App& app, const std::string&) {
    sendSpeciesMessage(app);
}

}  // namespace command

}  // namespace species
