#pragma once
// The tar the tool packs and unpacks with, recording for one test, for the object's lifetime:
// a copy of every archive it packs goes to `kept`, and with FAKE_TAR_SIZE set it makes a file
// of that many bytes (sparse) instead of packing. On Linux a script in `folder`/bin, first on
// PATH, in front of bsdtar; on Windows the fake tar.exe of the system folder, which the
// variables tell the same.
#include <memory>
#include <string>

class ScopedEnv;

class RecordingTar {
  public:
    RecordingTar(const std::string& folder, const std::string& kept);
    ~RecordingTar();

    // Takes tar away from the tool until restore(). False where that cannot be: Windows takes
    // tar.exe from its system folder, which every test running at the same time shares.
    bool hide();
    void restore();

    // What tar lists of an archive.
    static std::string listing(const std::string& archive);

  private:
    std::string folder_;
    std::unique_ptr<ScopedEnv> env_;
};
