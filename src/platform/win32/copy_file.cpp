#include "platform/copy_file.h"

#include <windows.h>

#include "platform/win32/errors.h"

namespace platform {

Result<> copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE)) return win32::failLastError("copy");
    return {};
}

}  // namespace platform
