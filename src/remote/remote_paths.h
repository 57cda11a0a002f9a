#pragma once
#include <string>

namespace remote {

// Where the remote build keeps its files, and the small file helpers it shares.

// appData/build-upload/<name>: the staging folder of an upload.
std::string uploadWorkFolder(const std::string& name);
// appData/build-upload/<name>.zip: the archive that is uploaded.
std::string uploadArchivePath(const std::string& name);
// appData/build-download/<name>-<16 hex digits>: the result archive and what it unpacks to.
// The digits stand for the workspace folder: species of one name in two server folders may
// be followed at the same time, and each tracker empties its own download folder.
std::string downloadFolder(const std::string& root, const std::string& name);
// <root>/species/<name>/build/remote-job.txt: the job id of a build handed to the service.
std::string jobFilePath(const std::string& root, const std::string& name);

// The job id stored for a species: the file's text without trailing line ends and blanks;
// empty when the file is missing or what it holds is no service id (so nothing else can
// reach a URL or a path).
std::string readJobId(const std::string& root, const std::string& name);

// Deletes a folder with everything in it; links inside are removed, never followed. Does
// nothing when the path is not a folder; failures are ignored.
void removeTree(const std::string& folder);

// The tar that packs and unpacks archives: tar.exe of the Windows system folder; elsewhere
// bsdtar on PATH, the same program, which picks zip from a ".zip" name. Empty when it is not
// there.
std::string systemTarPath();

// What the owner is told when systemTarPath finds nothing.
extern const char* const kTarMissing;

// The notice when a second remote build or tracker of the same species is asked for.
inline constexpr const char* kAlreadyFollowed =
    "A remote build of this species is already running. Wait for it to end or cancel it.";

}  // namespace remote
