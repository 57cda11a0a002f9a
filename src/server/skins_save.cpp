#include "server/skins_save.h"

#include <charconv>
#include <string_view>

#include "bridge/files.h"
#include "platform/files.h"
#include "platform/private_file.h"

namespace server {

namespace {

std::string pendingPath(const std::string& folder) {
    return folder + "/skins.pending";
}

// The record: the length of the JSON text in decimal, a line end, the JSON text, then the
// Lua text to the end of the file.
std::string record(const std::string& json, const std::string& lua) {
    return std::to_string(json.size()) + "\n" + json + lua;
}

SkinsWrite replacePair(const std::string& folder, std::string_view json, std::string_view lua) {
    if (!platform::replaceWholeFile(folder + "/skins.json", std::string(json))) {
        // Nothing has changed, and the owner is told the save failed: it must not come true
        // later by itself.
        (void)platform::removeFile(pendingPath(folder));
        return SkinsWrite::jsonFailed;
    }
    // skins.json is new already: the record stays, so the pair is made whole when it can be.
    if (!platform::replaceWholeFile(folder + "/skins.lua", std::string(lua)))
        return SkinsWrite::luaFailed;
    // A record left behind would only be applied again: the same texts, no harm done.
    (void)platform::removeFile(pendingPath(folder));
    return SkinsWrite::done;
}

}  // namespace

SkinsWrite saveSkinsPair(const std::string& folder, const std::string& json,
                         const std::string& lua) {
    // The record is the tool's own file: a link planted at its name is replaced, not followed.
    if (!platform::replaceWholeFile(pendingPath(folder), record(json, lua),
                                    platform::AtLink::replace))
        return SkinsWrite::jsonFailed;
    return replacePair(folder, json, lua);
}

SkinsWrite finishSkinsSave(const std::string& folder) {
    const std::string path = pendingPath(folder);
    if (platform::isSymbolicLink(path) || !bridge::fileExists(path)) return SkinsWrite::done;
    const std::string bytes = bridge::readFileBytes(path);
    const std::size_t lineEnd = bytes.find('\n');
    std::size_t jsonSize = 0;
    const char* digits = bytes.data();
    const char* digitsEnd = digits + (lineEnd == std::string::npos ? 0 : lineEnd);
    auto [end, error] = std::from_chars(digits, digitsEnd, jsonSize);
    // Records are renamed into place whole, so a malformed one was not made by a save and
    // completes nothing.
    if (lineEnd == std::string::npos || error != std::errc() || end != digitsEnd ||
        jsonSize > bytes.size() - lineEnd - 1) {
        (void)platform::removeFile(path);
        return SkinsWrite::done;
    }
    const std::string_view rest = std::string_view(bytes).substr(lineEnd + 1);
    return replacePair(folder, rest.substr(0, jsonSize), rest.substr(jsonSize));
}

}  // namespace server
