#include "platform/copy_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace platform {

Result<> copyFileReplacing(const std::string& from, const std::string& to) {
    // Linux paths are bytes: the text is the path unchanged.
    std::error_code failed;
    if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    failed) ||
        failed) {
        return fail(failed ? failed.value() : EIO, "copy");
    }
    return {};
}

}  // namespace platform
