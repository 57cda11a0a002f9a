#pragma once
// What the fakes need from the system, once for Linux and once for Windows, so that each
// fake's behaviour is written only once.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Writes all bytes to standard output or standard error at once, unbuffered and unchanged
// (no line end translation), so a caller reading one pipe for both sees them in order.
void writeStdout(std::string_view text);
void writeStderr(std::string_view text);

// The program's arguments after its own name, as UTF-8.
std::vector<std::string> programArguments(int argc, char** argv);

// This process's id.
long currentProcessId();

// Starts this program again with `arguments`, sharing our standard output and error as a
// helper's own helper would; its process id, or -1 when it could not be started.
long startCopy(const std::vector<std::string>& arguments);

// An environment variable's value as UTF-8; nothing when it is not set.
std::optional<std::string> environmentValue(const char* name);

// A path from UTF-8 text. A plain std::string would be read in the ANSI code page on Windows.
inline std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}
