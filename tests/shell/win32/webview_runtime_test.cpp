// The tool started without the WebView2 runtime (Wine has none), as an owner would start it:
// no options, so the window is the host.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "shell/win32/screen.h"
#include "support/child_process.h"
#include "support/test_app.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kTitle[] = L"Varra Forgeset Server Tool";
constexpr wchar_t kRuntimeMissing[] =
    L"Microsoft Edge WebView2 runtime is required.\n"
    L"Install it from Microsoft, then start the tool again.";

LPARAM screenPoint(int x, int y) {
    return static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(y)) << 16) |
                               static_cast<WORD>(x));
}

struct RuntimeCase {
    const char* what;
    // Whether the SDK's loader ships beside the tool: with it, the loader finds no runtime;
    // without it, the tool cannot even ask.
    bool withLoader;
};

class MissingRuntime : public ::testing::TestWithParam<RuntimeCase> {};

TEST_P(MissingRuntime, showsTheMessageBoxOverTheHiddenWindowAndEndsWithCodeOne) {
    SKIP_WITHOUT_DISPLAY();
    TempDir home;
    const fs::path built = fs::path(FORGESET_TOOL_PATH).parent_path();
    fs::create_directories(home / "program");
    const std::string tool = home / "program/forgeset-server-tool.exe";
    fs::copy_file(FORGESET_TOOL_PATH, tool);
    if (GetParam().withLoader)
        fs::copy_file(built / "WebView2Loader.dll", home / "program/WebView2Loader.dll");

    ChildProcess::Options options(tool, {}, {{"LOCALAPPDATA", home / "appdata"}});
    // No pipes: the first window on a new display makes Wine start its desktop process,
    // which inherits the tool's handles and would hold a pipe open past the tool's end.
    options.in = ChildProcess::Stream::Null;
    options.out = ChildProcess::Stream::Null;
    options.errFile = home / "stderr.txt";
    ChildProcess child(options);
    const DWORD process = static_cast<DWORD>(child.pid());

    HWND box = waitForWindow(process, L"#32770", kTitle);
    ASSERT_NE(box, nullptr) << "no message box came";
    std::wstring texts;
    for (HWND text : descendantsOfClass(box, L"Static"))
        texts += windowText(text) + L"|";
    EXPECT_NE(texts.find(kRuntimeMissing), std::wstring::npos)
        << "the message box says: " << platform::win32::fromWide(texts);

    // The box belongs to the main window, which is there but has never been shown.
    HWND main = waitForWindow(process, L"VarraForgesetServerToolWindow", nullptr,
                              std::chrono::milliseconds(0));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(windowText(main), kTitle);
    EXPECT_EQ(GetWindowLongPtrW(main, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    // As large as asked for, unless the screen is smaller (Wine's desktop may be).
    RECT rect{};
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.right - rect.left, std::min(1280, GetSystemMetrics(SM_CXMAXTRACK)));
    EXPECT_EQ(rect.bottom - rect.top, std::min(860, GetSystemMetrics(SM_CYMAXTRACK)));
    // The tool's own window procedure answers while the box waits.
    EXPECT_EQ(SendMessageW(main, WM_NCHITTEST, 0, screenPoint(rect.left + 3, rect.top + 3)),
              HTTOPLEFT);
    EXPECT_EQ(SendMessageW(main, WM_NCHITTEST, 0, screenPoint(rect.left + 640, rect.top + 400)),
              HTCLIENT);

    // The box's only button, as a person would press it.
    const std::vector<HWND> buttons = descendantsOfClass(box, L"Button");
    ASSERT_EQ(buttons.size(), 1u);
    PostMessageW(buttons.front(), BM_CLICK, 0, 0);
    for (int i = 0; i < 250 && IsWindow(box); ++i)
        Sleep(20);
    EXPECT_FALSE(IsWindow(box)) << "the message box stayed";
    EXPECT_EQ(child.waitExit(std::chrono::seconds(30)), 1);
    // Nothing of the session was started: no assets folder was made.
    EXPECT_FALSE(fs::exists(home / "appdata/VarraForgeset/assets"));
}

INSTANTIATE_TEST_SUITE_P(Loader, MissingRuntime,
                         ::testing::Values(RuntimeCase{"the loader beside the tool", true},
                                           RuntimeCase{"no loader", false}),
                         [](const auto& param) {
                             return std::string(param.param.withLoader ? "withLoader"
                                                                       : "withoutLoader");
                         });

}  // namespace
