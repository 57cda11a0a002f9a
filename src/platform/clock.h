#pragma once
#include <string>

namespace platform {

// Today's date in the local time zone, as "YYYY-MM-DD".
std::string localDate();

}  // namespace platform
