#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/win32/com.h"
#include "platform/win32/webview2_loader.h"

namespace platform::win32 {

// The WebView2 control that fills the main window: it shows the embedded page on the app
// host, maps the assets and species hosts to their folders, and carries messages both ways.
// Everything here runs on the window's thread; WebView2 reports through the message loop.
class WebViewHost {
  public:
    struct Hooks {
        // Each message the page posts (its JSON text).
        std::function<void(const std::string&)> onMessage;
        // The embedded file for a request URI; nothing lets the request go its normal way.
        std::function<std::optional<PageFile>(std::string_view uri)> embedded;
        // Runs once, when the page has been asked for.
        std::function<void()> onReady;
    };

    // Starts creating the web view in `parent`; false when the start already failed.
    // `userDataFolder` is where the browser keeps its profile; `devtoolsPort`, when not
    // empty, opens the remote inspector on that port.
    bool create(HWND parent, const std::wstring& userDataFolder, const std::string& devtoolsPort,
                Hooks hooks);

    bool ready() const { return ready_; }
    void postJson(const std::string& json);
    void resize(int width, int height);
    void navigate(const std::wstring& uri);
    // Serves `folder` under https://<host>/; the page sees files appear there as they are
    // written.
    void mapFolder(std::string_view host, const std::string& folder);

    // "https://<app host>/index.html".
    static std::wstring indexUri();

  private:
    HRESULT onEnvironment(HRESULT result, ICoreWebView2Environment* environment);
    HRESULT onController(HRESULT result, ICoreWebView2Controller* controller);
    void configure();
    HRESULT onWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args);
    HRESULT onResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args);

    ComRef<ICoreWebView2Environment> environment_;
    ComRef<ICoreWebView2Controller> controller_;
    ComRef<ICoreWebView2> webView_;
    HWND parent_ = nullptr;
    bool ready_ = false;
    Hooks hooks_;
    EventRegistrationToken webMessageToken_{};
    EventRegistrationToken resourceRequestedToken_{};
};

}  // namespace platform::win32
