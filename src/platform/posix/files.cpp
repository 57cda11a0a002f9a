#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/random.h"

namespace platform {
namespace {

// What a system call that returns 0 on success and sets errno otherwise came to.
Result<> checked(int returned, const char* what) {
    if (returned == 0) return {};
    return fail(errno, what);
}

Result<> writeAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno, "write");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return {};
}

std::string temporaryNameBeside(const std::string& path) {
    unsigned char noise[6];
    randomBytes(noise, sizeof noise);
    static const char hex[] = "0123456789abcdef";
    std::string suffix = ".";
    for (unsigned char b : noise) {
        suffix += hex[b >> 4];
        suffix += hex[b & 15];
    }
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden, so a folder listing taken meanwhile does not show it as a resource or texture.
    return folder + "." + name + suffix + ".tmp";
}

}  // namespace

Result<std::string> readWholeFile(const std::string& path) {
    // O_NONBLOCK keeps a FIFO planted under a document's name from hanging the caller.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(errno, "open");
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "not a regular file");
    }
    // Read straight into the result, sized by the file; a file that grows meanwhile is
    // read on to its new end.
    std::string bytes(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return bytes;
}

Result<> writeWholeFile(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno, "open");
    Result<> written = writeAll(fd, bytes);
    Result<> closed = checked(::close(fd), "close");
    return written ? closed : written;
}

Result<> replaceWholeFile(const std::string& path, const std::string& bytes) {
    std::string temporary = temporaryNameBeside(path);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno, "create a temporary file");
    Result<> done = writeAll(fd, bytes);
    struct stat old {};
    if (done && ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // A server owner who locked down server.cfg keeps the same permissions after a save.
        done = checked(::fchmod(fd, old.st_mode & 07777), "keep the permissions");
    }
    // Without the flush a crash right after the rename could leave an empty file behind.
    if (done) done = checked(::fsync(fd), "flush");
    Result<> closed = checked(::close(fd), "close");
    if (done) done = closed;
    if (done) done = checked(::rename(temporary.c_str(), path.c_str()), "rename");
    if (!done) ::unlink(temporary.c_str());
    return done;
}

Result<> renameReplacing(const std::string& from, const std::string& to) {
    return checked(::rename(from.c_str(), to.c_str()), "rename");
}

Result<> makeFolder(const std::string& path) {
    return checked(::mkdir(path.c_str(), 0777), "make a folder");
}

PathKind pathKind(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::missing;
    return S_ISDIR(st.st_mode) ? PathKind::folder : PathKind::file;
}

std::vector<FolderEntry> listFolder(const std::string& path) {
    std::vector<FolderEntry> entries;
    DIR* dir = path.empty() ? nullptr : ::opendir(path.c_str());
    if (!dir) return entries;
    int dirFd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = e->d_type == DT_DIR;
        // Only links and file systems without d_type need a stat.
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st {};
            // A dangling link names nothing that could be opened: leave it out.
            if (::fstatat(dirFd, e->d_name, &st, 0) != 0) continue;
            isFolder = S_ISDIR(st.st_mode);
        }
        entries.push_back({std::move(name), isFolder});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace platform
