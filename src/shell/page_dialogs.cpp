#include "shell/page_dialogs.h"

#include "bridge/json_write.h"
#include "platform/folder_names.h"
#include "platform/paths.h"

namespace {

std::string filtersJson(const std::vector<platform::FileFilter>& filters) {
    std::string json = "[";
    for (const platform::FileFilter& filter : filters) {
        if (json.size() > 1) json += ',';
        json += "{\"label\":";
        bridge::appendJsonString(json, filter.label);
        json += ",\"patterns\":[";
        for (std::size_t i = 0; i < filter.patterns.size(); ++i) {
            if (i > 0) json += ',';
            bridge::appendJsonString(json, filter.patterns[i]);
        }
        json += "]}";
    }
    return json + "]";
}

}  // namespace

PageDialogs::PageDialogs(PageChannel& channel, std::function<std::string()> startFolder)
    : channel_(channel), startFolder_(std::move(startFolder)) {}

std::optional<std::string> PageDialogs::pickFolder(const std::string& title) {
    std::vector<std::string> chosen = ask({.files = false, .title = title, .filters = {}});
    if (chosen.empty()) return std::nullopt;
    return chosen.front();
}

std::vector<std::string> PageDialogs::pickFiles(const std::string& title,
                                                const std::vector<platform::FileFilter>& filters) {
    return ask({.files = true, .title = title, .filters = filters});
}

std::vector<std::string> PageDialogs::ask(PageDialog dialog) {
    const std::string home = platform::homeFolder();
    std::string start = startFolder_ ? startFolder_() : std::string();
    if (start.empty() || platform::entryKindAt(start) != platform::EntryKind::folder) start = home;

    std::unique_lock lock(mutex_);
    // Commands ask one at a time; should a second asker ever come, it is not kept waiting
    // behind a person who is looking at another dialog.
    if (shutDown_ || open_) return {};
    dialog.id = ++lastId_;
    const std::uint64_t id = dialog.id;
    const std::string message = dialogMessage(dialog, start, home);
    open_ = std::move(dialog);
    chosen_.reset();
    ended_ = false;
    lock.unlock();
    // Straight to the pages rather than through the outbox: only the pages that hear of the
    // dialog are marked, and only they can keep it open.
    const bool shown = channel_.publishMarked(message, id) > 0;
    lock.lock();
    std::vector<std::string> result;
    if (shown && waitForAnswer(lock, id) && chosen_) result = std::move(*chosen_);
    open_.reset();
    chosen_.reset();
    lock.unlock();
    channel_.unmark(id);
    channel_.publish("{\"type\":\"dialogEnd\",\"id\":" + std::to_string(id) + "}");
    return result;
}

bool PageDialogs::waitForAnswer(std::unique_lock<std::mutex>& lock, std::uint64_t id) {
    while (!answered_.wait_for(lock, kPagePoll, [&] { return ended_ || shutDown_; })) {
        lock.unlock();
        const bool stillShown = channel_.anyMarked(id);
        lock.lock();
        // A page that reloads or closes drops its stream; once no page that was shown the
        // dialog is left, nobody can answer it.
        if (!stillShown && !ended_) return false;
    }
    return ended_;
}

std::optional<PageDialog> PageDialogs::open(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    if (!open_ || open_->id != id || ended_) return std::nullopt;
    return open_;
}

DialogAnswer PageDialogs::answer(std::uint64_t id, std::optional<std::vector<std::string>> paths) {
    std::optional<PageDialog> dialog = open(id);
    if (!dialog) return DialogAnswer::notOpen;
    // Checked outside the lock: looking at the paths touches the disk.
    if (paths && !fitsDialog(*dialog, *paths)) return DialogAnswer::rejected;
    {
        std::lock_guard lock(mutex_);
        if (!open_ || open_->id != id || ended_) return DialogAnswer::notOpen;
        chosen_ = std::move(paths);
        ended_ = true;
    }
    answered_.notify_all();
    return DialogAnswer::taken;
}

void PageDialogs::shutDown() {
    {
        std::lock_guard lock(mutex_);
        shutDown_ = true;
    }
    answered_.notify_all();
}

bool fitsDialog(const PageDialog& dialog, const std::vector<std::string>& paths) {
    if (paths.empty() || (!dialog.files && paths.size() != 1)) return false;
    // Regular files only: a pipe or device under a sound's name would hold the copy for ever.
    const platform::EntryKind wanted =
        dialog.files ? platform::EntryKind::file : platform::EntryKind::folder;
    for (const std::string& path : paths) {
        if (!platform::isFullPath(path) || platform::entryKindAt(path) != wanted) return false;
    }
    return true;
}

std::string dialogMessage(const PageDialog& dialog, const std::string& start,
                          const std::string& home) {
    std::string json = "{\"type\":\"dialog\",\"id\":" + std::to_string(dialog.id);
    json += dialog.files ? ",\"kind\":\"files\",\"title\":" : ",\"kind\":\"folder\",\"title\":";
    bridge::appendJsonString(json, dialog.title);
    json += ",\"start\":";
    bridge::appendJsonString(json, start);
    json += ",\"home\":";
    bridge::appendJsonString(json, home);
    // The page walks and joins the paths it is given, so it must split them as this system does.
    json += ",\"separator\":";
    bridge::appendJsonString(json, std::string(1, platform::pathSeparator));
    json += ",\"filters\":" + filtersJson(dialog.filters) + "}";
    return json;
}
