#include "platform/dialogs.h"

#include "platform/files.h"

namespace platform {

ScriptedDialogs::ScriptedDialogs(std::vector<std::string> answers) : answers_(std::move(answers)) {}

Result<ScriptedDialogs> ScriptedDialogs::fromFile(const std::string& path) {
    Result<std::string> read = readWholeFile(path);
    if (!read) return std::unexpected(read.error());
    const std::string& text = *read;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return ScriptedDialogs(std::move(lines));
}

std::string ScriptedDialogs::nextAnswer() {
    if (next_ >= answers_.size()) return {};
    return answers_[next_++];
}

std::optional<std::string> ScriptedDialogs::pickFolder(const std::string&) {
    std::string answer = nextAnswer();
    if (answer.empty()) return std::nullopt;
    return answer;
}

std::vector<std::string> ScriptedDialogs::pickFiles(const std::string&,
                                                    const std::vector<FileFilter>&) {
    std::string answer = nextAnswer();
    std::vector<std::string> paths;
    size_t start = 0;
    while (!answer.empty() && start <= answer.size()) {
        size_t end = answer.find('|', start);
        if (end == std::string::npos) end = answer.size();
        if (end > start) paths.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

}  // namespace platform
