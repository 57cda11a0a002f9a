#include "support/recording_tar.h"

#include <sys/stat.h>

#include "platform/process.h"
#include "support/scoped_env.h"
#include "support/test_app.h"

RecordingTar::RecordingTar(const std::string& folder, const std::string& kept) : folder_(folder) {
    // Listing and unpacking pass straight through.
    writeText(folder + "/bin/bsdtar",
              "#!/bin/sh\n"
              "[ \"$2\" = -c ] || exec /usr/bin/bsdtar \"$@\"\n"
              "if [ -n \"$FAKE_TAR_SIZE\" ]; then truncate -s \"$FAKE_TAR_SIZE\" \"$4\"; "
              "exit 0; fi\n"
              "/usr/bin/bsdtar \"$@\" && cp \"$4\" \"" +
                  kept + "\"\n");
    ::chmod((folder + "/bin/bsdtar").c_str(), 0755);
    env_ = std::make_unique<ScopedEnv>("PATH", folder + "/bin:" + std::getenv("PATH"));
}

RecordingTar::~RecordingTar() = default;

bool RecordingTar::hide() {
    env_.reset();
    env_ = std::make_unique<ScopedEnv>("PATH", FORGESET_FAKES_DIR);
    return true;
}

void RecordingTar::restore() {
    env_.reset();
    env_ =
        std::make_unique<ScopedEnv>("PATH", folder_ + "/bin:" FORGESET_FAKES_DIR ":/usr/bin:/bin");
}

std::string RecordingTar::listing(const std::string& archive) {
    return platform::runCaptured({"/usr/bin/bsdtar", "-tf", archive}, 20000);
}
