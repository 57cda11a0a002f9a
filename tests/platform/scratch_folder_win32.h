#pragma once
// A fresh folder for one Windows test, with a name beyond ASCII where asked, removed at the end.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/win32/wide.h"

class ScratchFolder {
  public:
    // The name is random, not made from the process id: Wine hands out the same small ids
    // again soon, and a folder an earlier test could not remove would then be found again.
    explicit ScratchFolder(const std::string& prefix) {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            std::filesystem::path candidate =
                base / platform::win32::toWide(prefix + std::to_string(random()));
            std::error_code failed;
            if (std::filesystem::create_directory(candidate, failed)) path_ = candidate;
        }
        if (path_.empty()) throw std::runtime_error("cannot make a scratch folder");
    }
    // A child that has just ended may still hold its program file for a moment (its image is
    // unmapped after the exit is reported), so removal is tried again for a while.
    ~ScratchFolder() {
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::error_code failed;
            std::filesystem::remove_all(path_, failed);
            if (!failed) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // UTF-8, as the platform layer takes paths; a narrow std::filesystem path would be in
    // the ANSI code page.
    std::string path() const { return platform::win32::fromWide(path_.wstring()); }
    std::string operator/(const std::string& name) const {
        return platform::win32::fromWide((path_ / platform::win32::toWide(name)).wstring());
    }

  private:
    std::filesystem::path path_;
};
