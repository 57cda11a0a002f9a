#pragma once
#include <string>
#include <utility>

// How a whole-file save names, guards and clears its temporary files. The same on every
// system; only the creating, writing and renaming differ.
namespace platform {

// Splits a path into its folder (with the trailing separator, or empty) and its last name.
std::pair<std::string, std::string> folderAndName(const std::string& path);

// A fresh name beside `path` for a save's temporary: "." name "." twelve hex digits ".tmp".
std::string temporaryNameBeside(const std::string& path);

// Marks a temporary as being written by this process for the object's lifetime, so that a
// save of the same file on another thread never takes it for a crash's leftover.
class InFlight {
  public:
    explicit InFlight(std::string path);
    ~InFlight();
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

  private:
    std::string path_;
};

// A save killed between creating its temporary and the rename leaves the temporary behind,
// holding whatever the file held (an RCON password, say); the next save of the same file
// clears them away. Temporaries of running saves in this process are left alone.
void removeStaleTemporaries(const std::string& path);

}  // namespace platform
