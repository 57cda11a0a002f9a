#include "platform/program_search.h"

#include "platform/ascii.h"

namespace platform {
namespace {

std::vector<std::string_view> splitList(std::string_view list) {
    std::vector<std::string_view> items;
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        std::string_view item = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        if (item.size() >= 2 && item.front() == '"' && item.back() == '"') {
            item = item.substr(1, item.size() - 2);
        }
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

// The extension of the name's last component, dot included; empty when it has none.
std::string_view extensionOf(std::string_view name) {
    const std::size_t folder = name.find_last_of("/\\:");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (folder != std::string_view::npos && dot < folder)) {
        return {};
    }
    return name.substr(dot);
}

std::vector<std::string_view> programExtensions(std::string_view extensions) {
    std::vector<std::string_view> kept;
    for (std::string_view extension : splitList(extensions)) {
        if (extension.front() == '.' && !isCommandScript(extension)) kept.push_back(extension);
    }
    if (kept.empty()) kept = {".COM", ".EXE"};
    return kept;
}

}  // namespace

bool isCommandScript(std::string_view path) {
    const std::string_view extension = extensionOf(path);
    return equalsIgnoringAsciiCase(extension, ".bat") || equalsIgnoringAsciiCase(extension, ".cmd");
}

std::vector<std::string> programCandidates(std::string_view name, std::string_view searchPath,
                                           std::string_view extensions) {
    if (name.empty() || isCommandScript(name)) return {};
    std::vector<std::string> names;
    const std::vector<std::string_view> known = programExtensions(extensions);
    const std::string_view own = extensionOf(name);
    bool hasKnown = false;
    for (std::string_view extension : known)
        hasKnown = hasKnown || equalsIgnoringAsciiCase(own, extension);
    if (hasKnown) {
        names.emplace_back(name);
    } else {
        for (std::string_view extension : known)
            names.push_back(std::string(name) + std::string(extension));
    }
    if (name.find_first_of("/\\:") != std::string_view::npos) return names;

    std::vector<std::string> candidates;
    for (std::string_view folder : splitList(searchPath)) {
        const bool separated = folder.back() == '\\' || folder.back() == '/';
        for (const std::string& file : names)
            candidates.push_back(std::string(folder) + (separated ? "" : "\\") + file);
    }
    return candidates;
}

}  // namespace platform
