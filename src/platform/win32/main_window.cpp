#include "platform/win32/main_window.h"

#include <dwmapi.h>

#include <memory>

#include "platform/win32/webview_host.h"
#include "platform/win32/window_frame.h"

namespace platform::win32 {

namespace {

WebViewHost* hostOf(HWND window) {
    return reinterpret_cast<WebViewHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // Dark like the page, so the window does not flash white before the web view paints.
    windowClass.hbrBackground = CreateSolidBrush(RGB(10, 10, 10));
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&windowClass) != 0) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT calculateClientArea(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam == 0) return DefWindowProcW(window, message, wParam, lParam);
    // Restored, the proposed rectangle stays the client area: the page covers the whole
    // window, frame included.
    if (IsZoomed(window)) {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        params->rgrc[0] = maximizedClientArea(params->rgrc[0], maximizedFrameInsets());
    }
    return 0;
}

LRESULT hitTest(HWND window, LPARAM lParam) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    return frameHitTest(rect, x, y, IsZoomed(window) != FALSE);
}

LRESULT deliverUiJson(HWND window, WPARAM wParam) {
    std::unique_ptr<std::string> json(reinterpret_cast<std::string*>(wParam));
    if (!json) return 0;
    WebViewHost* host = hostOf(window);
    // Before the web view is ready the page is not there to hear it; it asks for everything
    // with init once it has loaded.
    if (host && host->ready()) host->postJson(*json);
    return 0;
}

}  // namespace

HWND createMainWindow(HINSTANCE instance) {
    if (!registerMainWindowClass(instance)) return nullptr;
    HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kMainWindowWidth, kMainWindowHeight,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    // One pixel of frame at the bottom keeps the system's shadow and snapping, which belong to
    // windows with a frame.
    const MARGINS margins{0, 0, 0, 1};
    DwmExtendFrameIntoClientArea(window, &margins);
    // Makes the system ask WM_NCCALCSIZE again before the window is first shown, so the
    // frame of WS_OVERLAPPEDWINDOW never shows.
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    return window;
}

void attachWebViewHost(HWND window, WebViewHost* host) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
}

void postUiJson(HWND window, std::string json) {
    auto copy = std::make_unique<std::string>(std::move(json));
    if (PostMessageW(window, WM_UI_JSON, reinterpret_cast<WPARAM>(copy.get()), 0))
        (void)copy.release();
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (WebViewHost* host = hostOf(window); host && host->ready())
                host->resize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_NCCALCSIZE:
            return calculateClientArea(window, message, wParam, lParam);
        case WM_NCHITTEST:
            return hitTest(window, lParam);
        case WM_UI_JSON:
            return deliverUiJson(window, wParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace platform::win32
