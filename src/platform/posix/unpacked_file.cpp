#include "platform/unpacked_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/folder_access.h"
#include "platform/random.h"

namespace platform {
namespace {

std::string temporaryBeside(const std::string& path) {
    return path + "." + randomHexDigits(8) + ".part";
}

Result<> copyBytes(int from, int to) {
    std::vector<char> block(1 << 20);
    while (true) {
        ssize_t n = ::read(from, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno, "read");
        if (n == 0) return {};
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(to, block.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return fail(errno, "write");
            done += w;
        }
    }
}

}  // namespace

Result<> copyUnpackedFile(const std::string& from, const std::string& to) {
    // O_NOFOLLOW refuses a link; O_NONBLOCK keeps a FIFO from hanging the open.
    FileHandle source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!source) return fail(errno, "open");
    struct stat st {};
    if (::fstat(source.get(), &st) != 0) return fail(errno, "examine");
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return fail(EPERM, "not a file of its own");
    const std::string temporary = temporaryBeside(to);
    FileHandle target(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!target) return fail(errno, "create");
    Result<> done = copyBytes(source.get(), target.get());
    if (done && ::close(target.release()) != 0) done = fail(errno, "close");
    if (done && ::rename(temporary.c_str(), to.c_str()) != 0) done = fail(errno, "rename");
    if (!done) ::unlink(temporary.c_str());
    return done;
}

}  // namespace platform
