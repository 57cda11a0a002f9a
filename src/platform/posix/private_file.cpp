#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/write_all.h"
#include "platform/random.h"

namespace platform {
namespace {

std::string temporaryNameBeside(const std::string& path) {
    return path + "." + randomHexDigits(8) + ".tmp";
}

}  // namespace

Result<> replacePrivateFile(const std::string& path, const std::string& bytes) {
    std::string temporary = temporaryNameBeside(path);
    // Created 0600 and exclusive, so nobody else can open it before the secret is in it; a
    // descriptor opened during a wider window would keep reading after any later chmod.
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    S_IRUSR | S_IWUSR);
    if (fd < 0) return fail(errno, "create a temporary file");
    // The umask can only take rights away; an owner who cannot read the file back would be
    // signed out on every start.
    Result<> done;
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) done = fail(errno, "set the file mode");
    if (done) done = writeAll(fd, bytes);
    if (done && ::fsync(fd) != 0) done = fail(errno, "flush");
    if (::close(fd) != 0 && done) done = fail(errno, "close");
    if (done && ::rename(temporary.c_str(), path.c_str()) != 0) done = fail(errno, "rename");
    if (!done) ::unlink(temporary.c_str());
    return done;
}

Result<> removeFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    return fail(errno, "delete");
}

}  // namespace platform
