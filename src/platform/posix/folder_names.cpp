#include "platform/folder_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

EntryKind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return EntryKind::folder;
    if (S_ISREG(mode)) return EntryKind::file;
    return EntryKind::other;
}

// Most file systems say what an entry is in the listing itself, which keeps a folder of a
// hundred thousand files quick; links and file systems that do not say need a stat.
EntryKind kindOf(int folder, const dirent& entry) {
    if (entry.d_type == DT_DIR) return EntryKind::folder;
    if (entry.d_type == DT_REG) return EntryKind::file;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::other;
    struct stat info {};
    if (::fstatat(folder, entry.d_name, &info, 0) != 0) return EntryKind::other;
    return kindOfMode(info.st_mode);
}

}  // namespace

Result<std::vector<NamedEntry>> readFolderNames(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(errno, "open the folder");
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        int code = errno;
        ::close(fd);
        return fail(code, "read the folder");
    }
    std::vector<NamedEntry> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            entries.push_back({entry->d_name, kindOf(fd, *entry)});
        errno = 0;
    }
    int code = errno;
    ::closedir(dir);
    if (code != 0) return fail(code, "read the folder");
    return entries;
}

EntryKind entryKindAt(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return EntryKind::other;
    return kindOfMode(info.st_mode);
}

}  // namespace platform
