#include "platform/paths.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::fromWide;

std::wstring environment(const wchar_t* name) {
    std::wstring value(MAX_PATH, L'\0');
    // The variable may be longer than any first guess; the call says how much it needs.
    for (;;) {
        const DWORD length =
            ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

// Where the system keeps per-user program data when the environment does not say, for a
// program started with a cleared environment.
std::wstring knownLocalAppData() {
    PWSTR folder = nullptr;
    std::wstring result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder)))
        result = folder;
    ::CoTaskMemFree(folder);
    return result;
}

// Every missing level, as mkdir -p: a fresh profile may lack the parent too.
void makeAllLevels(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/')
            ::CreateDirectoryW(win32::widePath(path.substr(0, i)).c_str(), nullptr);
    }
}

}  // namespace

std::string appDataFolder() {
    // The variable first, as every Windows program reads %LOCALAPPDATA%, so that an owner or a
    // test can move the folder.
    std::wstring base = environment(L"LOCALAPPDATA");
    if (!win32::isAbsolutePath(base)) base = knownLocalAppData();
    if (base.empty()) return ".";
    while (base.size() > 3 && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    std::string folder = fromWide(base) + "\\VarraForgeset";
    makeAllLevels(folder);
    return folder;
}

std::string homeFolder() {
    const std::wstring profile = environment(L"USERPROFILE");
    if (isFullPath(fromWide(profile))) return fromWide(profile);
    const std::wstring drive = environment(L"SystemDrive");
    return drive.size() == 2 && drive[1] == L':' ? fromWide(drive) + "\\" : std::string("C:\\");
}

bool isFullPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return false;
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    // \\.\ and \\?\ reach devices and pipes by name; only \\server\share is a folder.
    if (path.size() >= 3 && separator(path[0]) && separator(path[1]))
        return path[2] != '.' && path[2] != '?' && !separator(path[2]);
    return win32::isAbsolutePath(win32::toWide(path));
}

std::string executableFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        // A name that fills the buffer may have been cut short.
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
    // Callers append "/tools" and the like, which the \\?\ form would take as part of a name.
    if (name.starts_with(L"\\\\?\\UNC\\")) {
        name = L"\\\\" + name.substr(8);
    } else if (name.starts_with(L"\\\\?\\")) {
        name = name.substr(4);
    }
    const size_t slash = name.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    // A program in a drive's root keeps the backslash: "C:" alone is the current folder there.
    return fromWide(name.substr(0, name.size() >= 3 && slash == 2 ? 3 : slash));
}

}  // namespace platform
