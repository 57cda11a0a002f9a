#include "platform/folder_lookup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace platform {

FolderLookup::FolderLookup(std::string folder) : folder_(std::move(folder)) {
    // O_PATH needs no right to the folder itself: a question inside it needs the same
    // rights as asking by the whole path.
    if (!folder_.empty()) opened_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

FolderLookup::~FolderLookup() {
    if (opened_ >= 0) ::close(opened_);
}

PathKind FolderLookup::kind(const std::string& relative) const {
    struct stat st {};
    if (opened_ < 0 || relative.empty() || ::fstatat(opened_, relative.c_str(), &st, 0) != 0)
        return PathKind::missing;
    return S_ISDIR(st.st_mode) ? PathKind::folder : PathKind::file;
}

}  // namespace platform
