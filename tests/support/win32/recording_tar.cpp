#include "support/recording_tar.h"

#include "platform/process.h"
#include "remote/remote_paths.h"
#include "support/scoped_env.h"

RecordingTar::RecordingTar(const std::string& folder, const std::string& kept)
    : folder_(folder), env_(std::make_unique<ScopedEnv>("FAKE_TAR_KEEP", kept)) {}

RecordingTar::~RecordingTar() = default;

bool RecordingTar::hide() {
    return false;
}

void RecordingTar::restore() {}

std::string RecordingTar::listing(const std::string& archive) {
    return platform::runCaptured({remote::systemTarPath(), "-tf", archive}, 20000);
}
