#pragma once
#include <string>

#include "platform/files.h"

namespace platform {

// Asks what many paths inside one folder name (thousands of resources' files, say). On Linux
// the folder is opened once, so each question walks only the part inside it instead of the
// whole path from the root; Windows has no such lookup and asks by the whole path. Every
// answer is what pathKind(folder + "/" + relative) says, links followed; a folder that cannot
// be opened has nothing in it.
class FolderLookup {
  public:
    explicit FolderLookup(std::string folder);
    ~FolderLookup();
    FolderLookup(const FolderLookup&) = delete;
    FolderLookup& operator=(const FolderLookup&) = delete;

    PathKind kind(const std::string& relative) const;

  private:
    std::string folder_;
    int opened_ = -1;  // the folder's descriptor where the system looks up from one
};

}  // namespace platform
