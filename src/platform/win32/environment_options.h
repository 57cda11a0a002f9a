#pragma once
#include <string>

#include "platform/win32/com.h"
#include "platform/win32/webview2_loader.h"

namespace platform::win32 {

// The options object of a new web view environment. The SDK's own implementation needs WRL,
// which mingw-w64 lacks; this one keeps the SDK's defaults (its target browser version comes
// from the SDK's header through the build) and carries extra browser arguments.
ComRef<ICoreWebView2EnvironmentOptions> makeEnvironmentOptions(
    const std::wstring& additionalBrowserArguments);

}  // namespace platform::win32
