#include "shell/folder_files.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    text = text.substr(text.size() - ending.size());
    return std::equal(text.begin(), text.end(), ending.begin(),
                      [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

}  // namespace

std::optional<std::string> folderRelativePath(std::string_view rawTail) {
    std::string decoded;
    decoded.reserve(rawTail.size());
    for (std::size_t i = 0; i < rawTail.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rawTail[i]);
        if (c == '%') {
            if (i + 2 >= rawTail.size()) return std::nullopt;
            int high = hexValue(rawTail[i + 1]);
            int low = hexValue(rawTail[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<unsigned char>(high * 16 + low);
            i += 2;
            if (c == '/' || c == '.') return std::nullopt;
        }
        if (c == '\\' || isControl(c)) return std::nullopt;
        decoded += static_cast<char>(c);
    }
    std::string_view rest = decoded;
    while (true) {
        std::size_t slash = rest.find('/');
        std::string_view segment = rest.substr(0, slash);
        if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return decoded;
}

std::optional<std::string> fileInsideFolder(const std::string& folder,
                                            const std::string& relative) {
    if (folder.empty() || relative.empty()) return std::nullopt;
    // Resolving links is what lets us see where a path really leads; the resolved path is
    // used only for this check and for opening, never shown or stored.
    std::error_code error;
    fs::path base = fs::canonical(folder, error);
    if (error) return std::nullopt;
    fs::path target = fs::canonical(base / relative, error);
    if (error) return std::nullopt;
    auto [inBase, inTarget] = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    if (inBase != base.end() || inTarget == target.end()) return std::nullopt;
    if (!fs::is_regular_file(target, error)) return std::nullopt;
    return target.string();
}

std::string_view folderMimeType(std::string_view path) {
    static constexpr std::pair<std::string_view, std::string_view> types[] = {
        {".html", "text/html"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".json", "application/json"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".glb", "model/gltf-binary"},
        {".gltf", "model/gltf+json"},
        {".fbx", "application/octet-stream"},
        {".wav", "audio/wav"},
        {".ogg", "audio/ogg"},
        {".mp3", "audio/mpeg"},
        {".txt", "text/plain"},
    };
    for (const auto& [ending, type] : types) {
        if (endsWithIgnoringCase(path, ending)) return type;
    }
    return "application/octet-stream";
}
