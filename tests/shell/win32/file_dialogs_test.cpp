// The system's item dialogs as the tool configures them, shown on Wine's screen and answered
// by a second thread, as a person would answer them.
#include "platform/win32/file_dialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "bridge/dispatcher.h"
#include "platform/win32/main_window.h"
#include "platform/win32/wide.h"
#include "shell/host_session.h"
#include "shell/win32/screen.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;
using platform::win32::toWide;

// A path of the tests (UTF-8, forward slashes) as the system writes it.
fs::path systemPath(const std::string& path) {
    return fs::path(toWide(path)).make_preferred();
}

// What the answering thread saw of the dialog it answered.
struct Seen {
    bool found = false;
    HWND owner = nullptr;
    std::vector<std::wstring> fileTypes;
};

// Waits for this process's dialog with `title` (any dialog when null), reads it, and then
// either types `answer` into its name field and confirms, or cancels it. Gives up when
// `stop` is set: the dialogs are modal, so once the call that would show one has returned,
// none is coming.
std::future<Seen> answerDialog(const wchar_t* title, std::wstring answer = {},
                               const std::atomic<bool>* stop = nullptr) {
    return std::async(std::launch::async, [title, answer, stop] {
        Seen seen;
        HWND dialog =
            waitForWindow(GetCurrentProcessId(), L"#32770", title, std::chrono::seconds(20), stop);
        if (!dialog) return seen;
        seen.found = true;
        seen.owner = GetWindow(dialog, GW_OWNER);
        for (HWND combo : descendantsOfClass(dialog, L"ComboBox")) {
            const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t item[512] = {};
                if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 511)
                    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                seen.fileTypes.push_back(item);
            }
        }
        if (answer.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return seen;
        }
        std::vector<HWND> edits = descendantsOfClass(dialog, L"Edit");
        if (!edits.empty())
            SendMessageW(edits.front(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return seen;
    });
}

class ItemDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_DISPLAY();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        owner = platform::win32::createMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(owner, nullptr);
    }
    void TearDown() override {
        if (owner) DestroyWindow(owner);
    }
    HWND owner = nullptr;
};

TEST_F(ItemDialogs, theFolderPickerHasItsTitleAndOwnerAndCancelsToNothing) {
    platform::win32::ItemDialogs dialogs(owner);
    auto answered = answerDialog(L"Server folder (where VarraForgesetServer.exe lives)");
    EXPECT_EQ(dialogs.pickFolder("Server folder (where VarraForgesetServer.exe lives)"),
              std::nullopt);
    const Seen seen = answered.get();
    ASSERT_TRUE(seen.found) << "no dialog with the folder picker's title came";
    EXPECT_EQ(seen.owner, owner);
}

TEST_F(ItemDialogs, theFolderPickerGivesTheChosenFoldersPath) {
    TempDir home;
    fs::create_directories(systemPath(home / "Server Ünïcode"));
    const std::wstring folder = systemPath(home / "Server Ünïcode").wstring();
    platform::win32::ItemDialogs dialogs(owner);
    auto answered = answerDialog(L"Pick one", folder);
    const std::optional<std::string> chosen = dialogs.pickFolder("Pick one");
    ASSERT_TRUE(answered.get().found);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(systemPath(*chosen), fs::path(folder));
}

TEST_F(ItemDialogs, theSoundPickerOffersItsFilterAndGivesTheChosenFiles) {
    TempDir home;
    std::ofstream(systemPath(home / "roar.wav")) << "RIFF";
    const std::wstring file = systemPath(home / "roar.wav").wstring();
    platform::win32::ItemDialogs dialogs(owner);
    auto answered = answerDialog(L"Sound files for this species", file);
    const std::vector<std::string> chosen = dialogs.pickFiles(
        "Sound files for this species", {{"Sounds (WAV, OGG)", {"*.wav", "*.ogg"}}});
    const Seen seen = answered.get();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, owner);
    bool offered = false;
    for (const std::wstring& type : seen.fileTypes)
        offered = offered || type.find(L"Sounds (WAV, OGG)") != std::wstring::npos;
    EXPECT_TRUE(offered) << "the file types offered: " << seen.fileTypes.size();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(systemPath(chosen[0]), fs::path(file));
}

TEST_F(ItemDialogs, theSoundPickerCancelledGivesNoFiles) {
    platform::win32::ItemDialogs dialogs(owner);
    auto answered = answerDialog(L"Sound files for this species");
    EXPECT_TRUE(
        dialogs
            .pickFiles("Sound files for this species", {{"Sounds (WAV, OGG)", {"*.wav", "*.ogg"}}})
            .empty());
    EXPECT_TRUE(answered.get().found);
}

// Whether a script of answers or the window's own dialog answers pickFolder.
struct PrecedenceCase {
    const char* what;
    bool scripted;
};

class DialogPrecedence : public ItemDialogs,
                         public ::testing::WithParamInterface<PrecedenceCase> {};

TEST_P(DialogPrecedence, aScriptOfAnswersComesBeforeTheWindowsOwnDialog) {
    TempDir home;
    ScopedEnv appData("LOCALAPPDATA", home / "appdata");
    fs::create_directories(home / "scripted");
    Options options;
    if (GetParam().scripted) {
        std::ofstream(fs::path(home / "answers.txt")) << (home / "scripted") << "\n";
        options.dialogs = home / "answers.txt";
    }
    platform::win32::ItemDialogs native(owner);
    RecordingWindow window;
    HostSession session(options);
    bridge::App& app = session.start(window, &native);

    // Whatever dialog shows is cancelled, so a wrong choice shows as a dialog seen.
    std::atomic<bool> returned{false};
    auto answered = answerDialog(nullptr, {}, &returned);
    bridge::dispatchCommand(app, R"({"cmd":"pickFolder"})");
    returned = true;
    const Seen seen = answered.get();
    if (GetParam().scripted) {
        EXPECT_FALSE(seen.found) << "the window's own dialog showed despite the script";
        EXPECT_EQ(app.serverRoot.path(), home / "scripted");
    } else {
        EXPECT_TRUE(seen.found) << "the window's own dialog did not show";
        EXPECT_TRUE(app.serverRoot.empty());
    }
    session.finishDelivery();
}

INSTANTIATE_TEST_SUITE_P(Answers, DialogPrecedence,
                         ::testing::Values(PrecedenceCase{"--dialogs FILE", true},
                                           PrecedenceCase{"the window's dialogs", false}),
                         [](const auto& param) {
                             return std::string(param.param.scripted ? "scripted" : "native");
                         });

}  // namespace
