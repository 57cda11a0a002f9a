#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// mkdir -p: a fresh account may lack ~/.local/share itself.
void makeAllLevels(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0777);
    }
}

}  // namespace

std::string appDataFolder() {
    std::string base = environment("XDG_DATA_HOME");
    // A relative value is invalid by the XDG rules and would follow the current folder.
    if (base.empty() || base[0] != '/') {
        std::string home = environment("HOME");
        if (home.empty()) return ".";
        base = home + "/.local/share";
    }
    std::string folder = base + "/VarraForgeset";
    makeAllLevels(folder);
    return folder;
}

std::string homeFolder() {
    std::string home = environment("HOME");
    return isFullPath(home) ? home : std::string("/");
}

bool isFullPath(std::string_view path) {
    return !path.empty() && path.front() == '/' && path.find('\0') == std::string_view::npos;
}

std::string executableFolder() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
    buffer.resize(static_cast<size_t>(n));
    size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

}  // namespace platform
