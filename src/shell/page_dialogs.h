#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "shell/page_channel.h"

// One dialog as the page is asked to show it.
struct PageDialog {
    std::uint64_t id = 0;
    // A file dialog (several files may be chosen); else a folder dialog.
    bool files = false;
    std::string title;
    std::vector<platform::FileFilter> filters;
};

// How an answer from the page was taken.
enum class DialogAnswer {
    taken,     // the command that asked goes on with it
    notOpen,   // no dialog with that id is open (it ended, or never was)
    rejected,  // the paths do not fit the dialog; it stays open
};

// The browser host's dialogs: the page draws them. The command thread that asks posts a
// "dialog" message to the pages and waits; the page's answer arrives on a request thread
// through answer(). The wait ends as a cancel when every page that was shown the dialog has
// gone (closed, reloaded or lost its stream), when the host stops, or when a page says so.
// Every end is told to the pages with "dialogEnd", so a second tab closes its copy.
class PageDialogs : public platform::Dialogs {
  public:
    // `startFolder` says where a dialog opens; it is called on the asking thread.
    PageDialogs(PageChannel& channel, std::function<std::string()> startFolder);

    std::optional<std::string> pickFolder(const std::string& title) override;
    std::vector<std::string> pickFiles(const std::string& title,
                                       const std::vector<platform::FileFilter>& filters) override;

    // The dialog that is open now, when its id is `id`.
    std::optional<PageDialog> open(std::uint64_t id);

    // The page's choice for dialog `id`: the chosen paths, or a cancel. A folder dialog takes
    // one existing folder, a file dialog one or more existing files, each an absolute path.
    DialogAnswer answer(std::uint64_t id, std::optional<std::vector<std::string>> paths);

    // Ends a waiting dialog as cancelled and cancels every later one at once: the host stops.
    void shutDown();

    // How often the asking thread looks whether a page that shows its dialog is still there.
    static constexpr std::chrono::milliseconds kPagePoll{100};

  private:
    std::vector<std::string> ask(PageDialog dialog);
    bool waitForAnswer(std::unique_lock<std::mutex>& lock, std::uint64_t id);

    PageChannel& channel_;
    std::function<std::string()> startFolder_;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::uint64_t lastId_ = 0;
    std::optional<PageDialog> open_;
    std::optional<std::vector<std::string>> chosen_;
    bool ended_ = false;
    bool shutDown_ = false;
};

// Whether `paths` is a valid choice for `dialog`; tells nothing about why not.
bool fitsDialog(const PageDialog& dialog, const std::vector<std::string>& paths);

// The "dialog" message that asks the pages to show `dialog`, starting in `start`.
std::string dialogMessage(const PageDialog& dialog, const std::string& start,
                          const std::string& home);
