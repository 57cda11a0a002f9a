#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

// Who may open the files the tool creates. Windows gives a new file the entries its folder
// passes on; these descriptors say otherwise where a file must not be open to those.
namespace platform::win32 {

// A security descriptor with the buffers it points into. Not to be moved while the
// attributes handed out are in use.
class FileSecurity {
  public:
    FileSecurity() = default;
    FileSecurity(FileSecurity&&) = default;
    FileSecurity& operator=(FileSecurity&&) = default;

    // For CreateFileW: the file has this descriptor from the moment it exists.
    SECURITY_ATTRIBUTES attributes();
    PSID owner() { return owner_.empty() ? nullptr : owner_.data(); }
    PACL dacl() { return reinterpret_cast<PACL>(dacl_.data()); }

    // Only the current user, as owner, may open the file: one entry granting them
    // everything, protected so that nothing is inherited from the folder.
    static Result<FileSecurity> ownerOnly();
    // The entries an existing file holds itself (not those its folder passes on), with its
    // protection from inheritance, so a replacement grants whom the old file granted.
    // Nothing when the old file is missing or holds nothing of its own: the folder's rules
    // then apply, as to any new file.
    static std::optional<FileSecurity> explicitEntriesOf(const std::wstring& path);

  private:
    Result<> describe(bool protectedFromInheritance);

    std::vector<unsigned char> owner_;
    std::vector<unsigned char> dacl_;
    SECURITY_DESCRIPTOR descriptor_{};
};

// The open file is owned by `owner` and its rights let no one else in: every entry that
// grants anything names the owner, or the system account, which may read every file anyway.
bool grantsOnlyTheOwner(HANDLE file, PSID owner);

}  // namespace platform::win32
