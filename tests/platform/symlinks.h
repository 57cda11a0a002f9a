#pragma once
// Symbolic links for the tests of what the platform layer does with them. On Windows only an
// account with the privilege, or one in Developer Mode, may make them, and Wine 8 reports
// success without making any: tests that need a link skip there, saying why.
#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <string>

inline constexpr const char* kNoSymlinks =
    "this system cannot make symbolic links (Windows without the privilege or Developer Mode, "
    "or Wine, which reports success but makes none)";

// Makes a symbolic link at `link` that names `target` (read from the link's folder when
// relative). True when a link now stands there; elsewhere than Windows a failure throws.
inline bool makeSymlink(const std::string& target, const std::string& link, bool toFolder = false) {
#ifdef _WIN32
    // Windows reads a link's target with backslashes only.
    const std::wstring from = std::filesystem::path(link).make_preferred().wstring();
    const std::wstring to = std::filesystem::path(target).make_preferred().wstring();
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (toFolder) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    if (!::CreateSymbolicLinkW(from.c_str(), to.c_str(), flags)) return false;
    const DWORD attributes = ::GetFileAttributesW(from.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    if (toFolder) {
        std::filesystem::create_directory_symlink(target, link);
    } else {
        std::filesystem::create_symlink(target, link);
    }
    return true;
#endif
}

// For a test body: `MAKE_SYMLINK_OR_SKIP(target, link);`
#define MAKE_SYMLINK_OR_SKIP(...) \
    if (!makeSymlink(__VA_ARGS__)) GTEST_SKIP() << kNoSymlinks
