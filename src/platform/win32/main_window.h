#pragma once
#include <windows.h>

#include <string>

// The one top-level window of the tool: frameless, its whole surface the web view.
namespace platform::win32 {

class WebViewHost;

inline constexpr wchar_t kMainWindowClass[] = L"VarraForgesetServerToolWindow";
inline constexpr wchar_t kMainWindowTitle[] = L"Varra Forgeset Server Tool";
inline constexpr int kMainWindowWidth = 1280;
inline constexpr int kMainWindowHeight = 860;

// Posted to the main window with a heap std::string of one outbound JSON message as wParam;
// the window takes the string over. The window's queue is where every thread's messages meet
// in posting order.
inline constexpr UINT WM_UI_JSON = WM_APP + 1;

// Registers the window class (once per process; later calls find it there) and creates the
// hidden main window, its frame already recalculated to cover the whole window. Null when
// the window cannot be created.
HWND createMainWindow(HINSTANCE instance);

// The web view the window sizes and hands messages to; none until one exists, and then
// messages are dropped.
void attachWebViewHost(HWND window, WebViewHost* host);

// Posts one message for the page to the window; any thread may call it. Dropped when the
// window is gone.
void postUiJson(HWND window, std::string json);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform::win32
