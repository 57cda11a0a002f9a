#include "remote/log_lines.h"

#include "bridge/messages.h"

namespace remote {

std::string shownLogLine(const std::string& line) {
    if (line.size() <= kLogLineBytes) return line;
    std::size_t cut = kLogLineBytes;
    // Back to the start of the character the cut falls in; lines are valid UTF-8 here.
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
    return line.substr(0, cut) + kLogLineCut;
}

std::string leftOutLine(std::size_t count) {
    return "[" + std::to_string(count) + " earlier lines not shown]";
}

void forwardLogLines(bridge::App& app, const std::string& root, const std::string& name,
                     const std::vector<std::string>& lines) {
    std::size_t first = 0;
    if (lines.size() > kLogLinesPerAnswer) {
        first = lines.size() - kLogLinesPerAnswer;
        bridge::sendSpeciesLog(app, root, name, leftOutLine(first));
    }
    for (std::size_t i = first; i < lines.size(); ++i)
        bridge::sendSpeciesLog(app, root, name, shownLogLine(lines[i]));
}

}  // namespace remote
