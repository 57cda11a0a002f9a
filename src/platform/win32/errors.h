#pragma once
#include <string>

#include "platform/result.h"

// Failures of the platform layer carry <cerrno> numbers on every system, so callers can
// tell "missing" from "refused" without knowing which system they run on.
namespace platform::win32 {

// The <cerrno> number nearest to a Windows error code; EIO for those with no counterpart.
int errnoFromWindows(unsigned long error);

// The failure of a step, from a Windows error code or from the calling thread's last one.
std::unexpected<Failure> failWindows(unsigned long error, std::string what);
std::unexpected<Failure> failLastError(std::string what);

}  // namespace platform::win32
