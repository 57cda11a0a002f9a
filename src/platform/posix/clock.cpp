#include "platform/clock.h"

#include <time.h>

namespace platform {

std::string localDate() {
    const time_t now = ::time(nullptr);
    tm local{};
    char text[16] = "";
    if (::localtime_r(&now, &local) == nullptr ||
        ::strftime(text, sizeof text, "%Y-%m-%d", &local) == 0) {
        return "unknown-date";
    }
    return text;
}

}  // namespace platform
