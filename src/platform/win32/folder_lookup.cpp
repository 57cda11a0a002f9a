#include "platform/folder_lookup.h"

#include <utility>

namespace platform {

FolderLookup::FolderLookup(std::string folder) : folder_(std::move(folder)) {}

FolderLookup::~FolderLookup() = default;

PathKind FolderLookup::kind(const std::string& relative) const {
    if (folder_.empty() || relative.empty()) return PathKind::missing;
    return pathKind(folder_ + "/" + relative);
}

}  // namespace platform
