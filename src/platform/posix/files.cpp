#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "platform/posix/write_all.h"
#include "platform/temporary_files.h"

namespace platform {
namespace {

// What a system call that returns 0 on success and sets errno otherwise came to.
Result<> checked(int returned, const char* what) {
    if (returned == 0) return {};
    return fail(errno, what);
}

// The file a save of `path` must replace: a symbolic link is followed to the file it names,
// so the link itself stays and keeps pointing there. A path that is no link is itself.
Result<std::string> followLinks(std::string path) {
    constexpr int kMostHops = 40;  // as the kernel allows before ELOOP
    for (int hop = 0; hop < kMostHops; ++hop) {
        char target[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n < 0) return path;
        if (static_cast<size_t>(n) == sizeof target) return fail(ENAMETOOLONG, "read a link");
        std::string next(target, static_cast<size_t>(n));
        // A relative link is read from the link's own folder.
        if (next.front() != '/') next = folderAndName(path).first + next;
        path = std::move(next);
    }
    return fail(ELOOP, "follow links");
}

// Creates the temporary with the permissions the file will have, before any byte is written:
// a locked-down server.cfg never sits readable to others while its content is written.
Result<int> createTemporary(const std::string& temporary, const std::string& target) {
    struct stat old {};
    bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    mode_t mode = replacing ? (old.st_mode & 07777) : 0666;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return fail(errno, "create a temporary file");
    // open() applied the umask; an owner who granted more on the old file keeps it.
    if (replacing && ::fchmod(fd, mode) != 0) {
        int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return fail(error, "keep the permissions");
    }
    return fd;
}

}  // namespace

Result<ReadableFile> openForReading(const std::string& path) {
    // O_NONBLOCK keeps a FIFO planted under a document's name from hanging the caller.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(errno, "open");
    FileHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "not a regular file");
    return ReadableFile{std::move(file), static_cast<std::uint64_t>(st.st_size)};
}

Result<> writeWholeFile(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno, "open");
    Result<> written = writeAll(fd, bytes);
    Result<> closed = checked(::close(fd), "close");
    return written ? closed : written;
}

Result<> createWholeFile(const std::string& path, const std::string& bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail(EISDIR, "create a file");
        if (::unlink(path.c_str()) != 0) return fail(errno, "remove what stood there");
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno, "create");
    Result<> written = writeAll(fd, bytes);
    Result<> closed = checked(::close(fd), "close");
    return written ? closed : written;
}

Result<> replaceWholeFile(const std::string& path, const std::string& bytes, AtLink atLink) {
    Result<std::string> target =
        atLink == AtLink::follow ? followLinks(path) : Result<std::string>(path);
    if (!target) return std::unexpected(target.error());
    removeStaleTemporaries(*target);
    std::string temporary = temporaryNameBeside(*target);
    InFlight writing(temporary);
    Result<int> fd = createTemporary(temporary, *target);
    if (!fd) return std::unexpected(fd.error());
    Result<> done = writeAll(*fd, bytes);
    // Without the flush a crash right after the rename could leave an empty file behind.
    if (done) done = checked(::fsync(*fd), "flush");
    Result<> closed = checked(::close(*fd), "close");
    if (done) done = closed;
    if (done) done = checked(::rename(temporary.c_str(), target->c_str()), "rename");
    if (!done) ::unlink(temporary.c_str());
    return done;
}

Result<> renameReplacing(const std::string& from, const std::string& to) {
    return checked(::rename(from.c_str(), to.c_str()), "rename");
}

Result<> makeFolder(const std::string& path) {
    return checked(::mkdir(path.c_str(), 0777), "make a folder");
}

bool isSymbolicLink(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
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
