#include "platform/command_line.h"

#include <string_view>

namespace platform {
namespace {

bool needsQuotes(std::string_view argument) {
    return argument.empty() || argument.find_first_of(" \t\"") != std::string_view::npos;
}

// The program's name ends at the first blank or tab, or, when it begins with a quote, at the
// next quote; backslashes mean nothing there, so they must not be doubled.
bool appendProgram(std::string& line, std::string_view program) {
    if (program.find('"') != std::string_view::npos) return false;
    if (!needsQuotes(program)) {
        line += program;
        return true;
    }
    line += '"';
    line += program;
    line += '"';
    return true;
}

// Inside quotes, backslashes are literal unless a quote follows them: then each pair stands
// for one backslash and an odd one escapes the quote. So a run of backslashes is doubled
// before a quote (the argument's own, escaped, or the closing one) and kept as is elsewhere.
void appendArgument(std::string& line, std::string_view argument) {
    if (!needsQuotes(argument)) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            line.append(backslashes * 2 + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

}  // namespace

std::optional<std::string> joinCommandLine(const std::vector<std::string>& argv) {
    if (argv.empty()) return std::nullopt;
    std::string line;
    for (const std::string& argument : argv) {
        if (argument.find('\0') != std::string::npos) return std::nullopt;
    }
    if (!appendProgram(line, argv[0])) return std::nullopt;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        line += ' ';
        appendArgument(line, argv[i]);
    }
    return line;
}

}  // namespace platform
