#include "platform/win32/webview2_loader.h"

#include <string>

#include "platform/paths.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// Loaded from the program's own folder by its full path, never through the search path, so
// a DLL of that name in the current folder cannot stand in for it. Kept for the whole run.
HMODULE loaderModule() {
    static const HMODULE module = [] {
        const std::wstring path = toWide(executableFolder()) + L"\\WebView2Loader.dll";
        return LoadLibraryW(path.c_str());
    }();
    return module;
}

template <typename Function>
Function* loaderFunction(const char* name) {
    const HMODULE module = loaderModule();
    if (!module) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool webViewRuntimeInstalled() {
    auto* versionOf = loaderFunction<decltype(GetAvailableCoreWebView2BrowserVersionString)>(
        "GetAvailableCoreWebView2BrowserVersionString");
    if (!versionOf) return false;
    LPWSTR version = nullptr;
    const HRESULT result = versionOf(nullptr, &version);
    const bool present = SUCCEEDED(result) && version && *version;
    CoTaskMemFree(version);
    return present;
}

HRESULT createWebViewEnvironment(
    const wchar_t* userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* completed) {
    auto* create = loaderFunction<decltype(CreateCoreWebView2EnvironmentWithOptions)>(
        "CreateCoreWebView2EnvironmentWithOptions");
    if (!create) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return create(nullptr, userDataFolder, options, completed);
}

}  // namespace platform::win32
