#include "platform/win32/environment_options.h"

#include <cstring>

namespace platform::win32 {

namespace {

// A copy the caller frees with CoTaskMemFree, as WebView2 expects of every string it gets.
HRESULT copyOut(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    std::memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

// Only the first options interface: the later ones are optional, and the loader keeps their
// defaults when ours says it has none.
class EnvironmentOptions final
    : public ComObject<ICoreWebView2EnvironmentOptions, IID_ICoreWebView2EnvironmentOptions> {
  public:
    explicit EnvironmentOptions(std::wstring arguments) : arguments_(std::move(arguments)) {}

    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override {
        return copyOut(arguments_, value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override {
        arguments_ = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override {
        return copyOut(language_, value);
    }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override {
        language_ = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override {
        return copyOut(targetVersion_, value);
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override {
        targetVersion_ = value ? value : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override {
        if (!allow) return E_POINTER;
        *allow = allowSingleSignOn_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override {
        allowSingleSignOn_ = allow;
        return S_OK;
    }

  private:
    std::wstring arguments_;
    std::wstring language_;
    std::wstring targetVersion_ = FORGESET_WEBVIEW2_TARGET_VERSION;
    BOOL allowSingleSignOn_ = FALSE;
};

}  // namespace

ComRef<ICoreWebView2EnvironmentOptions> makeEnvironmentOptions(
    const std::wstring& additionalBrowserArguments) {
    ComRef<ICoreWebView2EnvironmentOptions> options;
    *options.put() = new EnvironmentOptions(additionalBrowserArguments);
    return options;
}

}  // namespace platform::win32
