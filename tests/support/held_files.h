#pragma once
// Files held the way another program would hold them, for as long as the object lives.
#include <memory>
#include <string>

// A program writing the file (a server writing its log): it has the file open for writing,
// with the lock its system gives a writer (flock on Linux; on Windows the share mode of a log
// writer, which lets readers in but no second writer).
class HeldForWriting {
  public:
    HeldForWriting(const std::string& path, const std::string& bytes);
    ~HeldForWriting();
    bool holds() const;

    struct Handle;

  private:
    std::unique_ptr<Handle> handle_;
};

// A file this process cannot read: no read permission on Linux (which root ignores, so
// `holds` is false for root); on Windows another program has it open without sharing.
class UnreadableFile {
  public:
    explicit UnreadableFile(const std::string& path);
    ~UnreadableFile();
    bool holds() const;

    struct Handle;

  private:
    std::unique_ptr<Handle> handle_;
};
