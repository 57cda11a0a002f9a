#pragma once
// windows.h first: the SDK's header builds on its types.
#include <windows.h>

#include <WebView2.h>

// The two entry points of Microsoft's WebView2 loader, WebView2Loader.dll, which ships beside
// the program: its static form is an MSVC library that mingw-w64 cannot link.
namespace platform::win32 {

// True when an installed WebView2 runtime reports a non-empty version. False as well when the
// loader itself is missing: then no web view can be made either.
bool webViewRuntimeInstalled();

// CreateCoreWebView2EnvironmentWithOptions without a browser folder; `userDataFolder` may be
// null. Fails with the loader's error when the loader cannot be loaded.
HRESULT createWebViewEnvironment(
    const wchar_t* userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* completed);

}  // namespace platform::win32
