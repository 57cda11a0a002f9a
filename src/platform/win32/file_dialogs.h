#pragma once
#include <windows.h>

#include "platform/dialogs.h"

namespace platform::win32 {

// The system's common item dialog, modal to the main window: the folder picker and the
// multi-select file picker. Only file-system paths are accepted, since the tool hands them
// to programs and file calls.
class ItemDialogs : public Dialogs {
  public:
    explicit ItemDialogs(HWND owner) : owner_(owner) {}

    // An empty title keeps the dialog's own.
    std::optional<std::string> pickFolder(const std::string& title) override;
    std::vector<std::string> pickFiles(const std::string& title,
                                       const std::vector<FileFilter>& filters) override;

  private:
    HWND owner_;
};

}  // namespace platform::win32
