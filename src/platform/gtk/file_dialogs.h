#pragma once
#include <gtk/gtk.h>

#include "platform/dialogs.h"

namespace platform {

// The toolkit's own file choosers, modal to the main window. When the desktop runs inside a
// sandbox they become the desktop portal's dialogs.
class GtkDialogs : public Dialogs {
  public:
    explicit GtkDialogs(GtkWindow* parent) : parent_(parent) {}

    std::optional<std::string> pickFolder(const std::string& title) override;
    std::vector<std::string> pickFiles(const std::string& title,
                                       const std::vector<FileFilter>& filters) override;

  private:
    GtkWindow* parent_;
};

}  // namespace platform
