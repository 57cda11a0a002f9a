#include "platform/copy_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace platform {

Result<> copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code failed;
    if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    failed) ||
        failed) {
        return fail(failed ? failed.value() : EIO, "copy");
    }
    return {};
}

}  // namespace platform
