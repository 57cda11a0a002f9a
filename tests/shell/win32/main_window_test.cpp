// The main window as the tool makes it, driven by the messages the system sends it.
#include "platform/win32/main_window.h"
#include "platform/win32/window_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/win32/screen.h"

namespace {

using platform::win32::createMainWindow;

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window = createMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
    }
    void place(int x, int y, int width, int height) {
        ASSERT_TRUE(
            SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE));
        RECT rect{};
        GetWindowRect(window, &rect);
        ASSERT_EQ(rect.left, x);
        ASSERT_EQ(rect.top, y);
        ASSERT_EQ(rect.right - rect.left, width);
        ASSERT_EQ(rect.bottom - rect.top, height);
    }
    LRESULT hitTest(int x, int y) {
        // Screen coordinates travel as signed 16-bit halves of lParam.
        const LPARAM point = static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(y)) << 16) |
                                                 static_cast<WORD>(x));
        return SendMessageW(window, WM_NCHITTEST, 0, point);
    }
    HWND window = nullptr;
};

// What CreateWindowExW was asked, as the system reports it to a hook before the window
// exists.
struct Creation {
    bool seen = false;
    CREATESTRUCTW parameters{};
    std::wstring className;
    std::wstring title;
};
Creation* watched = nullptr;

LRESULT CALLBACK watchCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && watched && !watched->seen) {
        const CREATESTRUCTW* asked = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        watched->seen = true;
        watched->parameters = *asked;
        if (!IS_INTRESOURCE(asked->lpszClass)) watched->className = asked->lpszClass;
        if (asked->lpszName) watched->title = asked->lpszName;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(MainWindowCreation, asksForTheSizeStyleAndPlaceOfAnOrdinaryTopLevelWindow) {
    Creation creation;
    watched = &creation;
    HHOOK hook = SetWindowsHookExW(WH_CBT, watchCreation, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    HWND window = createMainWindow(GetModuleHandleW(nullptr));
    UnhookWindowsHookEx(hook);
    watched = nullptr;
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    ASSERT_TRUE(creation.seen);
    const CREATESTRUCTW& asked = creation.parameters;
    EXPECT_EQ(creation.className, L"VarraForgesetServerToolWindow");
    EXPECT_EQ(creation.title, L"Varra Forgeset Server Tool");
    // The system adds the edge of an overlapped window itself, and has placed the window
    // (asked for with CW_USEDEFAULT) by the time the hook hears of it.
    EXPECT_EQ(asked.dwExStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0u);
    EXPECT_EQ(static_cast<DWORD>(asked.style), static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(asked.cx, 1280);
    EXPECT_EQ(asked.cy, 860);
    EXPECT_EQ(asked.hwndParent, nullptr);
    EXPECT_EQ(asked.hMenu, nullptr);
    EXPECT_EQ(asked.hInstance, GetModuleHandleW(nullptr));
    EXPECT_EQ(asked.lpCreateParams, nullptr);
}

TEST_F(MainWindow, isMadeHiddenWithItsClassTitleStyleAndSize) {
    EXPECT_EQ(classOf(window), L"VarraForgesetServerToolWindow");
    EXPECT_EQ(windowText(window), L"Varra Forgeset Server Tool");
    EXPECT_FALSE(IsWindowVisible(window));
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    // As large as asked for, unless the screen is smaller (Wine's desktop may be).
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, std::min(1280, GetSystemMetrics(SM_CXMAXTRACK)));
    EXPECT_EQ(rect.bottom - rect.top, std::min(860, GetSystemMetrics(SM_CYMAXTRACK)));
    // The frame was recalculated before the window was ever shown: the client area is the
    // whole window, so the page reaches its edges.
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, rect.right - rect.left);
    EXPECT_EQ(client.bottom, rect.bottom - rect.top);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(
        GetClassInfoExW(GetModuleHandleW(nullptr), L"VarraForgesetServerToolWindow", &windowClass));
    EXPECT_EQ(windowClass.style, 0u);
    EXPECT_EQ(windowClass.lpfnWndProc, &platform::win32::mainWindowProc);
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.hIcon, nullptr);
    EXPECT_EQ(windowClass.hCursor, LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    LOGBRUSH brush{};
    ASSERT_EQ(GetObjectW(windowClass.hbrBackground, sizeof(brush), &brush), sizeof(brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(brush.lbColor, RGB(10, 10, 10));
}

TEST_F(MainWindow, aSecondWindowReusesTheRegisteredClass) {
    HWND second = createMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, window);
    DestroyWindow(second);
}

struct HitCase {
    const char* what;
    int x, y;  // relative to the window's top-left corner
    LRESULT expected;
};

// A window of 400 by 300 pixels: the band is 8 pixels wide on every side.
const HitCase kRestoredCases[] = {
    {"3 px inside the top-left corner", 3, 3, HTTOPLEFT},
    {"3 px inside the top-right corner", 396, 3, HTTOPRIGHT},
    {"3 px inside the bottom-left corner", 3, 296, HTBOTTOMLEFT},
    {"3 px inside the bottom-right corner", 396, 296, HTBOTTOMRIGHT},
    {"the left edge", 0, 150, HTLEFT},
    {"the last pixel of the left band", 7, 150, HTLEFT},
    {"the first pixel past the left band", 8, 150, HTCLIENT},
    {"the right edge", 399, 150, HTRIGHT},
    {"the first pixel of the right band", 392, 150, HTRIGHT},
    {"the last pixel before the right band", 391, 150, HTCLIENT},
    {"the top edge", 200, 0, HTTOP},
    {"the last pixel of the top band", 200, 7, HTTOP},
    {"the first pixel below the top band", 200, 8, HTCLIENT},
    {"the first pixel of the bottom band", 200, 292, HTBOTTOM},
    {"the last pixel above the bottom band", 200, 291, HTCLIENT},
    {"the top band's end meets the left band", 7, 7, HTTOPLEFT},
    {"the left band below the top band", 7, 8, HTLEFT},
    {"the middle", 200, 150, HTCLIENT},
};

TEST_F(MainWindow, answersTheResizeBandAtEveryEdgeAndCorner) {
    // Once at a plain place and once above and left of the screen's origin, where the
    // coordinates in the message are negative.
    for (const POINT origin : {POINT{100, 50}, POINT{-600, -400}}) {
        place(origin.x, origin.y, 400, 300);
        for (const HitCase& c : kRestoredCases)
            EXPECT_EQ(hitTest(origin.x + c.x, origin.y + c.y), c.expected)
                << c.what << " of a window at " << origin.x << "," << origin.y;
    }
}

TEST(FrameHitTest, aWindowNarrowerThanTwoBandsAnswersLeftAtEveryHeight) {
    // The system keeps a real window wider than its smallest track size (Wine: over 100
    // pixels), so the window procedure's arithmetic is asked directly here.
    // 12 pixels wide: from 104 on the right band begins, while up to 107 the left band
    // still holds; where both hold, left wins.
    const RECT narrow{100, 50, 112, 350};
    for (int x = 100; x < 112; ++x) {
        const bool left = x < 108;
        EXPECT_EQ(platform::win32::frameHitTest(narrow, x, 52, false),
                  left ? HTTOPLEFT : HTTOPRIGHT)
            << x;
        EXPECT_EQ(platform::win32::frameHitTest(narrow, x, 200, false), left ? HTLEFT : HTRIGHT)
            << x;
        EXPECT_EQ(platform::win32::frameHitTest(narrow, x, 347, false),
                  left ? HTBOTTOMLEFT : HTBOTTOMRIGHT)
            << x;
        EXPECT_EQ(platform::win32::frameHitTest(narrow, x, 52, true), HTCLIENT) << x;
    }
}

TEST_F(MainWindow, theNarrowestWindowTheSystemAllowsStillAnswersItsBand) {
    const int narrowest = GetSystemMetrics(SM_CXMINTRACK);
    place(100, 50, narrowest, 300);
    EXPECT_EQ(hitTest(100, 200), HTLEFT);
    EXPECT_EQ(hitTest(107, 200), HTLEFT);
    EXPECT_EQ(hitTest(100 + narrowest - 1, 200), narrowest <= 8 ? HTLEFT : HTRIGHT);
}

TEST_F(MainWindow, aMaximisedWindowIsClientAreaEverywhereAndInsetByItsFrame) {
    SKIP_WITHOUT_DISPLAY();
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    RECT rect{};
    GetWindowRect(window, &rect);
    for (const HitCase& c : kRestoredCases) {
        const int x = c.x < 200 ? rect.left + c.x : rect.right - (400 - c.x);
        const int y = c.y < 150 ? rect.top + c.y : rect.bottom - (300 - c.y);
        EXPECT_EQ(hitTest(x, y), HTCLIENT) << c.what;
    }

    const int horizontal = GetSystemMetrics(SM_CXPADDEDBORDER) + GetSystemMetrics(SM_CXFRAME);
    const int vertical = GetSystemMetrics(SM_CXPADDEDBORDER) + GetSystemMetrics(SM_CYFRAME);
    ASSERT_GT(horizontal, 0);
    ASSERT_GT(vertical, 0);
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = RECT{-8, -8, 1608, 1208};
    EXPECT_EQ(SendMessageW(window, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params)), 0);
    EXPECT_EQ(params.rgrc[0].left, -8 + horizontal);
    EXPECT_EQ(params.rgrc[0].right, 1608 - horizontal);
    EXPECT_EQ(params.rgrc[0].top, -8 + vertical);
    EXPECT_EQ(params.rgrc[0].bottom, 1208 - vertical);

    // Restored again, the band is back.
    ShowWindow(window, SW_RESTORE);
    ASSERT_FALSE(IsZoomed(window));
    GetWindowRect(window, &rect);
    EXPECT_EQ(hitTest(rect.left + 3, rect.top + 3), HTTOPLEFT);
}

TEST_F(MainWindow, restoredTheProposedClientAreaIsTheWholeWindow) {
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = RECT{100, 50, 500, 350};
    params.rgrc[1] = RECT{1, 2, 3, 4};
    EXPECT_EQ(SendMessageW(window, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params)), 0);
    EXPECT_EQ(params.rgrc[0].left, 100);
    EXPECT_EQ(params.rgrc[0].top, 50);
    EXPECT_EQ(params.rgrc[0].right, 500);
    EXPECT_EQ(params.rgrc[0].bottom, 350);
}

TEST_F(MainWindow, aPlainClientAreaQuestionGetsTheSystemsAnswer) {
    // With wParam 0 the window leaves the question to the default handling, which takes a
    // frame off for WS_OVERLAPPEDWINDOW.
    RECT asked{100, 50, 500, 350};
    RECT expected = asked;
    DefWindowProcW(window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&expected));
    ASSERT_FALSE(EqualRect(&expected, &asked)) << "the default handling changed nothing";
    SendMessageW(window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&asked));
    EXPECT_TRUE(EqualRect(&asked, &expected));
}

TEST_F(MainWindow, closingDestroysTheWindowAndEndsTheLoop) {
    // The ordinary close path, as winClose takes it: posted, handled by the default
    // handling, the quit message ends the loop.
    PostMessageW(window, WM_CLOSE, 0, 0);
    MSG message;
    int dispatched = 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && dispatched < 1000) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++dispatched;
    }
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_FALSE(IsWindow(window));
    window = nullptr;
}

TEST_F(MainWindow, uiMessagesWithoutAWebViewAreTakenAndDropped) {
    // No web view yet: the window still takes each posted message over (it frees it) and
    // answers 0; an empty one is ignored.
    EXPECT_EQ(SendMessageW(window, platform::win32::WM_UI_JSON, 0, 0), 0);
    platform::win32::postUiJson(window, R"({"type":"state"})");
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, window, platform::win32::WM_UI_JSON,
                             platform::win32::WM_UI_JSON, PM_REMOVE));
    const auto* posted = reinterpret_cast<const std::string*>(message.wParam);
    ASSERT_NE(posted, nullptr);
    EXPECT_EQ(*posted, R"({"type":"state"})");
    EXPECT_EQ(DispatchMessageW(&message), 0);
    EXPECT_EQ(platform::win32::WM_UI_JSON, 0x8001u);
}

}  // namespace
