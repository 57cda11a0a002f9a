#include <utility>

#include "platform/ascii.h"
#include "platform/folder_access.h"

namespace platform {
namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    std::string_view tail = text.substr(text.size() - ending.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (lowerAscii(tail[i]) != ending[i]) return false;
    }
    return true;
}

}  // namespace

std::string_view folderFileType(std::string_view path) {
    static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
        {".html", "text/html"},        {".css", "text/css"},      {".js", "text/javascript"},
        {".json", "application/json"}, {".txt", "text/plain"},    {".png", "image/png"},
        {".jpg", "image/jpeg"},        {".jpeg", "image/jpeg"},   {".gif", "image/gif"},
        {".webp", "image/webp"},       {".svg", "image/svg+xml"}, {".glb", "model/gltf-binary"},
        {".gltf", "model/gltf+json"},  {".wav", "audio/wav"},     {".ogg", "audio/ogg"},
        {".mp3", "audio/mpeg"},
    };
    for (const auto& [ending, type] : kTypes) {
        if (endsWithIgnoringCase(path, ending)) return type;
    }
    return "application/octet-stream";
}

}  // namespace platform
