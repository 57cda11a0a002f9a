#include "support/environment.h"

#include <stdlib.h>

#include <cstdlib>

#include "platform/win32/wide.h"

const char kPathListSeparator = ';';
const char* const kDataHomeVariable = "LOCALAPPDATA";
const bool kProxyVariablesApply = false;

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime's copy (std::getenv) and the system's (GetEnvironmentVariableW, and what
    // children inherit) change together. "NAME=" clears: Windows has no empty variables.
    std::wstring entry = platform::win32::toWide(name + "=" + value.value_or(""));
    ::_wputenv(entry.c_str());
}

std::string fakesAndSystemPath() {
    const char* root = std::getenv("SystemRoot");
    const std::string windows = root ? root : "C:\\windows";
    return std::string(FORGESET_FAKES_DIR) + ";" + windows + "\\system32;" + windows;
}
