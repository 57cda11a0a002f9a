#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace platform {

// A filter of a file dialog: a label and wildcard patterns such as "*.fbx".
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
};

// The native dialogs a host offers. Both calls block until the user answers; an empty
// result means the user cancelled.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual std::optional<std::string> pickFolder(const std::string& title) = 0;
    virtual std::vector<std::string> pickFiles(const std::string& title,
                                               const std::vector<FileFilter>& filters) = 0;
};

// Headless hosts answer dialogs from a script: each line of the file answers one dialog in
// turn (a path for a folder dialog, paths joined by '|' for a file dialog); an empty line or
// the end of the script is a cancel. Without a script every dialog is cancelled.
class ScriptedDialogs : public Dialogs {
  public:
    ScriptedDialogs() = default;
    explicit ScriptedDialogs(std::vector<std::string> answers);
    // Reads the answers of a script file; fails when the file cannot be read.
    static Result<ScriptedDialogs> fromFile(const std::string& path);

    std::optional<std::string> pickFolder(const std::string& title) override;
    std::vector<std::string> pickFiles(const std::string& title,
                                       const std::vector<FileFilter>& filters) override;

  private:
    std::string nextAnswer();
    std::vector<std::string> answers_;
    size_t next_ = 0;
};

}  // namespace platform
