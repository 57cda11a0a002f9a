#include "platform/process.h"
#include "remote/remote_paths.h"

namespace remote {

const char* const kTarMissing =
    "bsdtar was not found on PATH. The remote build packs and unpacks with it: install the "
    "Debian package libarchive-tools.";

std::string systemTarPath() {
    return platform::findProgram("bsdtar");
}

}  // namespace remote
