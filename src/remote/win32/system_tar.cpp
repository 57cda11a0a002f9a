#include "bridge/files.h"
#include "platform/win32/system_folder.h"
#include "remote/remote_paths.h"

namespace remote {

const char* const kTarMissing = "tar.exe is missing in the Windows system folder.";

std::string systemTarPath() {
    const std::string folder = platform::win32::systemFolder();
    if (folder.empty()) return {};
    const std::string tar = folder + "\\tar.exe";
    return bridge::fileExists(tar) ? tar : std::string();
}

}  // namespace remote
