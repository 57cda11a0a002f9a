// The desktop window on Windows: the frameless main window with the WebView2 control.
#include "platform/desktop.h"

#include "platform/win32/file_dialogs.h"
#include "platform/win32/main_window.h"
#include "platform/win32/webview_host.h"
#include "platform/win32/wide.h"

namespace platform {

using namespace platform::win32;

struct DesktopWindow::Impl {
    ~Impl() {
        if (window && IsWindow(window)) DestroyWindow(window);
        endCom();
    }
    // The web view's objects go before the apartment they live in.
    void endCom() {
        host.reset();
        if (comStarted) CoUninitialize();
        comStarted = false;
    }

    bool comStarted = false;
    // Set once, before any other thread sees the window, and never changed.
    HWND window = nullptr;
    DesktopSettings settings;
    std::unique_ptr<ItemDialogs> dialogs;
    std::unique_ptr<WebViewHost> host = std::make_unique<WebViewHost>();
    // Asked again whenever the server folder changes.
    std::function<std::string()> speciesFolder;
};

bool desktopAvailable() {
    // Windows always has its desktop.
    return true;
}

Result<std::unique_ptr<DesktopWindow>> DesktopWindow::create(const DesktopSettings& settings) {
    auto impl = std::make_unique<Impl>();
    impl->settings = settings;
    // The window's thread is a single-threaded apartment: the web view and the shell's
    // dialogs are apartment-threaded COM objects.
    impl->comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    impl->window = createMainWindow(GetModuleHandleW(nullptr));
    if (!impl->window) return fail(static_cast<int>(GetLastError()), "create the main window");
    // Asked while the window is still hidden, so nobody ever sees an empty window that
    // cannot work.
    if (!webViewRuntimeInstalled()) {
        MessageBoxW(impl->window,
                    L"Microsoft Edge WebView2 runtime is required.\n"
                    L"Install it from Microsoft, then start the tool again.",
                    kMainWindowTitle, MB_ICONERROR);
        return fail(0, "find the Microsoft Edge WebView2 runtime");
    }
    impl->dialogs = std::make_unique<ItemDialogs>(impl->window);
    return std::unique_ptr<DesktopWindow>(new DesktopWindow(std::move(impl)));
}

DesktopWindow::DesktopWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DesktopWindow::~DesktopWindow() = default;

Dialogs& DesktopWindow::dialogs() {
    return *impl_->dialogs;
}

void DesktopWindow::run(PageHooks hooks) {
    Impl& impl = *impl_;
    attachWebViewHost(impl.window, impl.host.get());
    WebViewHost::Hooks webHooks;
    webHooks.onMessage = std::move(hooks.onMessage);
    webHooks.embedded = hooks.sources.embedded;
    // The server folder was loaded before the window showed; its species folder is served
    // from the first page on.
    webHooks.onReady = [&impl, sources = hooks.sources] {
        impl.host->mapFolder(kAssetsHost, sources.assetsFolder());
        if (const std::string species = sources.speciesFolder(); !species.empty())
            impl.host->mapFolder(kSpeciesHost, species);
    };
    impl.speciesFolder = hooks.sources.speciesFolder;
    // A web view that cannot be made leaves the window empty but still closable.
    (void)impl.host->create(impl.window, toWide(impl.settings.dataFolder),
                            impl.settings.devtoolsPort, std::move(webHooks));
    ShowWindow(impl.window, SW_SHOW);
    UpdateWindow(impl.window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The handle stays as it was: a message posted from another thread now finds no window
    // and is dropped.
    impl.endCom();
}

void DesktopWindow::postToPage(std::string json) {
    postUiJson(impl_->window, std::move(json));
}

void DesktopWindow::minimize() {
    ShowWindow(impl_->window, SW_MINIMIZE);
}

void DesktopWindow::toggleMaximize() {
    ShowWindow(impl_->window, IsZoomed(impl_->window) ? SW_RESTORE : SW_MAXIMIZE);
}

void DesktopWindow::close() {
    // Posted, so any thread may ask and the page's message handler returns before the window
    // goes.
    PostMessageW(impl_->window, WM_CLOSE, 0, 0);
}

void DesktopWindow::startMove() {
    // The page sends this while its left button is down in its title bar: the system's move
    // loop takes that press over as if the window had a caption there.
    ReleaseCapture();
    SendMessageW(impl_->window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void DesktopWindow::reloadForNewRoot() {
    if (!impl_->host) return;
    if (impl_->speciesFolder) {
        if (const std::string species = impl_->speciesFolder(); !species.empty())
            impl_->host->mapFolder(kSpeciesHost, species);
    }
    impl_->host->navigate(WebViewHost::indexUri());
}

}  // namespace platform
