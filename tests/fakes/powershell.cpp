// Stands in for powershell.exe running the species kit's build script in the Windows tests,
// where a test needs what the real script never does: any bytes as output, a script that never
// ends, a gate. The Windows twin of the pwsh script beside it, with the same variables:
//   FAKE_PWSH_ARGS      file that receives the arguments, one per line
//   FAKE_PWSH_OUTPUT    file whose bytes are written to standard output unchanged
//   FAKE_PWSH_PACKAGES  "1": the three packages appear in client-mods and server-mods
//   FAKE_PWSH_HANG      "1": after the output it never ends, keeping the output open
//   FAKE_PWSH_WAIT_FOR  file that must exist before any output is written (a test's gate)
// Like the real script it leaves build/build.log behind in the workspace.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_system.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = programArguments(argc, argv);
    std::string root, species, recorded;
    for (std::size_t i = 0; i < args.size(); ++i) {
        recorded += args[i] + "\n";
        if (i + 1 < args.size() && args[i] == "-ServerRoot") root = args[i + 1];
        if (i + 1 < args.size() && args[i] == "-Species") species = args[i + 1];
    }
    if (auto file = environmentValue("FAKE_PWSH_ARGS")) writeAll(utf8Path(*file), recorded);
    if (auto gate = environmentValue("FAKE_PWSH_WAIT_FOR")) {
        while (!fs::exists(utf8Path(*gate)))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::optional<std::string> outputFile = environmentValue("FAKE_PWSH_OUTPUT");
    const std::string output = outputFile ? readAll(utf8Path(*outputFile)) : std::string();
    writeStdout(output);
    if (!root.empty() && !species.empty()) {
        const fs::path server = utf8Path(root);
        const fs::path build = server / "species" / utf8Path(species) / "build";
        std::error_code ignored;
        fs::create_directories(build, ignored);
        if (outputFile) writeAll(build / "build.log", output);
        if (environmentValue("FAKE_PWSH_PACKAGES") == "1") {
            for (const char* folder : {"client-mods", "server-mods"}) {
                fs::create_directories(server / folder, ignored);
                for (const char* ext : {"pak", "utoc", "ucas"})
                    writeAll(server / folder / utf8Path("species_" + species + "." + ext), {});
            }
        }
    }
    if (environmentValue("FAKE_PWSH_HANG") == "1")
        std::this_thread::sleep_for(std::chrono::seconds(600));
    return 0;
}
