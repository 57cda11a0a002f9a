#include "platform/copy_file.h"

#include <windows.h>

#include "platform/win32/errors.h"
#include "platform/win32/wide.h"

namespace platform {

Result<> copyFileReplacing(const std::string& from, const std::string& to) {
    if (!::CopyFileW(win32::widePath(from).c_str(), win32::widePath(to).c_str(), FALSE))
        return win32::failLastError("copy");
    return {};
}

}  // namespace platform
