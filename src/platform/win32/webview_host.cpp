#include "platform/win32/webview_host.h"

#include <shlwapi.h>

#include "platform/win32/environment_options.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

using EnvironmentCompleted =
    ComCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
                ICoreWebView2Environment*>;
using ControllerCompleted =
    ComCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT,
                ICoreWebView2Controller*>;
using WebMessageReceived = ComCallback<ICoreWebView2WebMessageReceivedEventHandler,
                                       IID_ICoreWebView2WebMessageReceivedEventHandler,
                                       ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>;
using ResourceRequested = ComCallback<ICoreWebView2WebResourceRequestedEventHandler,
                                      IID_ICoreWebView2WebResourceRequestedEventHandler,
                                      ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs*>;

// Frees a string WebView2 handed out, however the function that took it returns.
struct TaskText {
    LPWSTR text = nullptr;
    ~TaskText() { CoTaskMemFree(text); }
};

}  // namespace

std::wstring WebViewHost::indexUri() {
    return L"https://" + toWide(kAppHost) + L"/index.html";
}

bool WebViewHost::create(HWND parent, const std::wstring& userDataFolder,
                         const std::string& devtoolsPort, Hooks hooks) {
    parent_ = parent;
    hooks_ = std::move(hooks);
    // The port is passed on as given; the browser itself refuses one it cannot use.
    ComRef<ICoreWebView2EnvironmentOptions> options;
    if (!devtoolsPort.empty())
        options = makeEnvironmentOptions(L"--remote-debugging-port=" + toWide(devtoolsPort));
    ComRef<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> completed =
        EnvironmentCompleted::make([this](HRESULT result, ICoreWebView2Environment* environment) {
            return onEnvironment(result, environment);
        });
    const HRESULT started = createWebViewEnvironment(
        userDataFolder.empty() ? nullptr : userDataFolder.c_str(), options.get(), completed.get());
    return SUCCEEDED(started);
}

HRESULT WebViewHost::onEnvironment(HRESULT result, ICoreWebView2Environment* environment) {
    // A failure leaves the window empty; it can still be resized and closed.
    if (FAILED(result) || !environment) return result;
    environment_ = ComRef<ICoreWebView2Environment>::share(environment);
    ComRef<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> completed =
        ControllerCompleted::make([this](HRESULT done, ICoreWebView2Controller* controller) {
            return onController(done, controller);
        });
    return environment_->CreateCoreWebView2Controller(parent_, completed.get());
}

HRESULT WebViewHost::onController(HRESULT result, ICoreWebView2Controller* controller) {
    if (FAILED(result) || !controller) return result;
    controller_ = ComRef<ICoreWebView2Controller>::share(controller);
    webView_ = ComRef<ICoreWebView2>();
    controller_->get_CoreWebView2(webView_.put());
    configure();
    controller_->put_IsVisible(TRUE);
    // The window may have been resized while the controller was being made.
    RECT bounds{};
    GetClientRect(parent_, &bounds);
    controller_->put_Bounds(bounds);
    navigate(indexUri());
    ready_ = true;
    if (hooks_.onReady) hooks_.onReady();
    return S_OK;
}

void WebViewHost::configure() {
    // The page's own background, so nothing white shows while it loads.
    if (auto controller2 =
            controller_.query<ICoreWebView2Controller2>(IID_ICoreWebView2Controller2))
        controller2->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{255, 15, 17, 21});
    if (!webView_) return;
    // The page is the whole application: no browser menus, status bar, zoom or developer
    // tools (a developer opens those through the remote inspector port instead).
    ComRef<ICoreWebView2Settings> settings;
    if (SUCCEEDED(webView_->get_Settings(settings.put())) && settings) {
        settings->put_AreDefaultContextMenusEnabled(FALSE);
        settings->put_IsStatusBarEnabled(FALSE);
        settings->put_IsZoomControlEnabled(FALSE);
        settings->put_AreDevToolsEnabled(FALSE);
    }
    webView_->add_WebMessageReceived(
        WebMessageReceived::make([this](ICoreWebView2*,
                                        ICoreWebView2WebMessageReceivedEventArgs* args) {
            return onWebMessage(args);
        }).get(),
        &webMessageToken_);
    // Every request passes the embedded page first; what it does not hold goes on to the
    // folder mappings, or fails.
    webView_->AddWebResourceRequestedFilter(L"*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    webView_->add_WebResourceRequested(
        ResourceRequested::make([this](ICoreWebView2*,
                                       ICoreWebView2WebResourceRequestedEventArgs* args) {
            return onResourceRequested(args);
        }).get(),
        &resourceRequestedToken_);
}

HRESULT WebViewHost::onWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args) {
    TaskText json;
    if (!args || FAILED(args->get_WebMessageAsJson(&json.text)) || !json.text) return S_OK;
    // The command runs here, inside the event, on the window's thread.
    if (hooks_.onMessage) hooks_.onMessage(fromWide(json.text));
    return S_OK;
}

HRESULT WebViewHost::onResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args) {
    // Whatever happens, the event itself succeeds: a request left unanswered simply fails
    // in the page.
    ComRef<ICoreWebView2WebResourceRequest> request;
    if (!args || FAILED(args->get_Request(request.put())) || !request) return S_OK;
    TaskText uri;
    if (FAILED(request->get_Uri(&uri.text)) || !uri.text) return S_OK;
    if (!hooks_.embedded || !environment_) return S_OK;
    const std::optional<PageFile> file = hooks_.embedded(fromWide(uri.text));
    if (!file || file->body.empty()) return S_OK;
    // The stream takes its own copy of the bytes.
    ComRef<IStream> stream;
    *stream.put() = SHCreateMemStream(reinterpret_cast<const BYTE*>(file->body.data()),
                                      static_cast<UINT>(file->body.size()));
    if (!stream) return S_OK;
    const std::wstring headers =
        L"Content-Type: " + toWide(file->contentType) + L"\r\nCache-Control: no-cache\r\n";
    ComRef<ICoreWebView2WebResourceResponse> response;
    if (SUCCEEDED(environment_->CreateWebResourceResponse(stream.get(), 200, L"OK", headers.c_str(),
                                                          response.put())) &&
        response)
        args->put_Response(response.get());
    return S_OK;
}

void WebViewHost::postJson(const std::string& json) {
    if (webView_) webView_->PostWebMessageAsJson(toWide(json).c_str());
}

void WebViewHost::resize(int width, int height) {
    if (controller_) controller_->put_Bounds(RECT{0, 0, width, height});
}

void WebViewHost::navigate(const std::wstring& uri) {
    if (webView_) webView_->Navigate(uri.c_str());
}

void WebViewHost::mapFolder(std::string_view host, const std::string& folder) {
    // The mapping is asked for even when the folder does not exist yet: the species folder
    // comes into being with the first workspace.
    auto webView3 = webView_.query<ICoreWebView2_3>(IID_ICoreWebView2_3);
    if (!webView3) return;
    webView3->SetVirtualHostNameToFolderMapping(toWide(host).c_str(), toWide(folder).c_str(),
                                                COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_ALLOW);
}

}  // namespace platform::win32
