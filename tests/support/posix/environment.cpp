#include "support/environment.h"

#include <stdlib.h>

const char kPathListSeparator = ':';
const char* const kDataHomeVariable = "XDG_DATA_HOME";
const bool kProxyVariablesApply = true;

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

std::string fakesAndSystemPath() {
    return std::string(FORGESET_FAKES_DIR) + ":/usr/bin:/bin";
}
