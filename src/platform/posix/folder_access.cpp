#include "platform/folder_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {
namespace {

std::string realFolderPath(const std::string& folder) {
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return {};
    return resolved;
}

}  // namespace

Result<FileHandle> openInsideFolder(const std::string& folder, const std::string& relative) {
    const std::string realFolder = realFolderPath(folder);
    if (realFolder.empty() || relative.empty()) return fail(ENOENT, "no such folder or file");
    FileHandle dir(::open(realFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return fail(ENOENT, "no such folder");
    // Non-blocking, so a named pipe cannot hold the caller; it is refused below anyway.
    FileHandle file(
        ::openat(dir.get(), relative.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return fail(ENOENT, "no such file");
        return fail(EACCES, "cannot open the file");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return fail(EACCES, "not a regular file");
    }
    // The name the open file really has, after every link on the way: it must still lie
    // inside the folder.
    char actual[PATH_MAX];
    const std::string fdPath = "/proc/self/fd/" + std::to_string(file.get());
    ssize_t length = ::readlink(fdPath.c_str(), actual, sizeof actual - 1);
    if (length <= 0) return fail(EACCES, "cannot tell where the file lies");
    const std::string real(actual, static_cast<std::size_t>(length));
    const std::string prefix = realFolder.back() == '/' ? realFolder : realFolder + "/";
    if (real.size() <= prefix.size() || real.compare(0, prefix.size(), prefix) != 0) {
        return fail(EACCES, "outside the folder");
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

Result<std::uint64_t> openFileSize(const FileHandle& file) {
    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0) return fail(errno, "read the file's size");
    return static_cast<std::uint64_t>(facts.st_size);
}

}  // namespace platform
