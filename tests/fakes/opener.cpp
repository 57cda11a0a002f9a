// Stands in for the programs Windows opens folders, documents and addresses with, in the
// Windows tests: the tests' Wine prefix names it as the "open" command of folders, of .md
// documents and of http and https addresses, so the tool's ShellExecuteW reaches it instead
// of a desktop. The Windows twin of the xdg-open script: it records what it was asked to
// open, one line per call, in the file named by FAKE_XDG_OPEN_LOG.
#include <fstream>

#include "fake_system.h"

int main(int argc, char** argv) {
    const std::optional<std::string> log = environmentValue("FAKE_XDG_OPEN_LOG");
    if (!log) return 0;
    std::string line;
    for (const std::string& arg : programArguments(argc, argv))
        line += (line.empty() ? "" : " ") + arg;
    std::ofstream(utf8Path(*log), std::ios::binary | std::ios::app) << line << "\n";
    return 0;
}
