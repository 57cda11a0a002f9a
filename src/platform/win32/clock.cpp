#include "platform/clock.h"

#include <windows.h>

#include <cstdio>

namespace platform {

std::string localDate() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    char text[16] = "";
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", local.wYear, local.wMonth, local.wDay);
    return text;
}

}  // namespace platform
