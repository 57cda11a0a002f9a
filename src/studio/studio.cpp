#include "studio/studio.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "bridge/app.h"
#include "bridge/asset_helper.h"
#include "bridge/diagnostics.h"
#include "bridge/dispatcher.h"
#include "bridge/files.h"
#include "bridge/json_read.h"
#include "bridge/json_write.h"
#include "bridge/messages.h"
#include "bridge/text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "studio/asset_helper.h"
#include "studio/commands.h"

namespace studio {

namespace {

// The page reads the species list as an array; anything else stored there (a hand edit, an
// old helper's odd output) would make the whole message unreadable, so it is shown as empty.
bool isJsonArray(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string::npos && text[first] == '[' && bridge::isJsonText(text);
}

// At most `limit` bytes of the output, cut at a character boundary, as readable text.
std::string excerpt(const std::string& output, std::size_t limit) {
    std::size_t cut = std::min(limit, output.size());
    // Step back over continuation bytes so a character is never split.
    while (cut > 0 && cut < output.size() &&
           (static_cast<unsigned char>(output[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return bridge::fromUtf8(output.substr(0, cut));
}

// What the owner is told when a helper ran into its time limit and was ended: without it, a
// hung helper only looked like one that failed for no reason.
std::string stoppedAfter(std::uint32_t limitMs) {
    std::string seconds = std::to_string(limitMs / 1000);
    if (limitMs % 1000 != 0) seconds += "." + std::to_string(limitMs % 1000 / 100);
    return "forgeset-assets.exe stopped after " + seconds + " s.";
}

void listSpecies(bridge::App& app) {
    const std::string helper = bridge::findAssetHelper(app.programFolder);
    if (helper.empty()) {
        bridge::sendNotice(app, bridge::kHelperMissing, true);
        return;
    }
    bool timedOut = false;
    const std::string output =
        platform::runCaptured({helper, "species"}, app.timeLimits.listSpecies, &timedOut);
    if (timedOut) {
        bridge::sendNotice(
            app, "Could not read the game files: " + stoppedAfter(app.timeLimits.listSpecies),
            true);
        return;
    }
    const std::string span = speciesListSpan(output);
    if (span.empty()) {
        bridge::sendNotice(
            app, "Could not read the game files. Is The Varra installed, is the AES key current?",
            true);
        return;
    }
    const std::string folder = assetsFolder();
    // The page may read the list at any moment (init): never let it see half a file. The
    // page's message lists what is stored, the earlier list if this one could not be.
    platform::Result<> stored = bridge::makeDirs(folder);
    if (stored) stored = platform::replaceWholeFile(folder + "/species.json", span);
    if (!stored) bridge::reportFailure("Could not store the game's species list", stored.error());
    sendStudio(app);
}

// Whether the game's species list, as last stored, names this species. Read on the worker,
// so a list that an earlier queued studioSpecies stores is the one that counts.
bool isListedSpecies(const std::string& folder, const std::string& name) {
    const std::vector<std::string> listed =
        bridge::jsonArrayStrings(bridge::fromUtf8(bridge::readFileBytes(folder + "/species.json")));
    return std::find(listed.begin(), listed.end(), name) != listed.end();
}

void extractSpecies(bridge::App& app, const std::string& name) {
    const std::string helper = bridge::findAssetHelper(app.programFolder);
    if (helper.empty()) {
        bridge::sendNotice(app, bridge::kHelperMissing, true);
        return;
    }
    const std::string folder = assetsFolder();
    // The page offers only listed species; anything else is a script's guess, and the helper
    // is never started for it.
    if (!isListedSpecies(folder, name)) return;
    // The helper says so itself when it cannot write there.
    if (platform::Result<> made = bridge::makeDirs(folder); !made)
        bridge::reportFailure("Could not make " + folder, made.error());
    bridge::sendNotice(app, "Extracting " + name + " from the game files...", false);
    bool timedOut = false;
    const std::string output = platform::runCaptured({helper, "export", name, folder + "/" + name},
                                                     app.timeLimits.exportSpecies, &timedOut);
    if (timedOut) {
        bridge::sendNotice(app, "Extraction failed: " + stoppedAfter(app.timeLimits.exportSpecies),
                           true);
        return;
    }
    if (output.find("done") != std::string::npos) {
        bridge::sendNotice(app, name + " extracted.", false);
        sendStudio(app);
        return;
    }
    // Escaped once, by the notice itself: the owner reads the helper's words as written.
    bridge::sendNotice(app, "Extraction failed: " + excerpt(output, 200), true);
}

// Runs a studio command on the studio worker, where the dispatcher's safety net does not
// reach: an unexpected failure is reported the same way instead of ending the program.
void runOnWorker(bridge::App& app, std::string name, std::function<void()> job) {
    app.studioJobs.post([&app, name = std::move(name), job = std::move(job)] {
        bridge::runReportingFailures(app, name, job);
    });
}

}  // namespace

std::string speciesListSpan(const std::string& output) {
    const std::size_t first = output.find('[');
    const std::size_t last = output.rfind(']');
    if (first == std::string::npos || last == std::string::npos || last < first) return {};
    // Helpers print log lines such as "[info] ..." before the list. The span from the first
    // "[" would then not be a list at all; the first later "[" that starts a valid JSON array
    // ending at the last "]" is the list the owner wants. Without one, the span is kept as
    // it is.
    for (std::size_t start = first; start < last; start = output.find('[', start + 1)) {
        std::string candidate = output.substr(start, last - start + 1);
        if (bridge::isJsonText(candidate)) return candidate;
    }
    return output.substr(first, last - first + 1);
}

std::string buildStudioMessage(const std::string& programFolder) {
    const std::string folder = assetsFolder();
    std::string out = "{\"type\":\"studio\",\"helper\":";
    out += bridge::findAssetHelper(programFolder).empty() ? "false" : "true";
    out += ",\"assetsDir\":";
    bridge::appendJsonString(out, folder);
    out += ",\"species\":";
    const std::string species = bridge::fromUtf8(bridge::readFileBytes(folder + "/species.json"));
    out += isJsonArray(species) ? species : "[]";
    out += ",\"extracted\":[";
    bool first = true;
    for (const std::string& name : bridge::listSubdirs(folder)) {
        if (!bridge::fileExists(folder + "/" + name + "/info.json")) continue;
        if (!first) out += ',';
        first = false;
        bridge::appendJsonString(out, name);
    }
    out += "]}";
    return out;
}

void sendStudio(bridge::App& app) {
    bridge::postToUi(app, buildStudioMessage(app.programFolder));
}

namespace command {

void studioSpecies(bridge::App& app, const std::string&) {
    runOnWorker(app, "studioSpecies", [&app] { listSpecies(app); });
}

void studioExtract(bridge::App& app, const std::string& message) {
    std::string name = bridge::jsonString(message, "species");
    // The name becomes a folder and an argument: anything but a plain name is a broken page,
    // and a leading "-" would make the helper read the argument as one of its options.
    if (!bridge::isPlainName(name) || name.front() == '-') return;
    runOnWorker(app, "studioExtract",
                [&app, name = std::move(name)] { extractSpecies(app, name); });
}

void studioRefresh(bridge::App& app, const std::string&) {
    runOnWorker(app, "studioRefresh", [&app] { sendStudio(app); });
}

}  // namespace command

}  // namespace studio
