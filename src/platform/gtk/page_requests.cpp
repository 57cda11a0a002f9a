// How the desktop window answers the page's requests. No toolkit here: the window turns a
// PageAnswer into the web view's response.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/desktop.h"

namespace platform {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    std::string_view tail = text.substr(text.size() - ending.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (lowerAscii(tail[i]) != ending[i]) return false;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One path segment with its escapes decoded once, so "%252e" stays the name "%2e".
std::optional<std::string> decodeSegment(std::string_view raw) {
    std::string decoded;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            decoded += raw[i];
            continue;
        }
        if (i + 2 >= raw.size()) return std::nullopt;
        int high = hexValue(raw[i + 1]);
        int low = hexValue(raw[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

PageAnswer plainAnswer(int status, std::string reason, std::string_view body) {
    PageAnswer answer;
    answer.status = status;
    answer.reason = std::move(reason);
    answer.body = body;
    answer.headers.emplace_back("Cache-Control", "no-cache");
    return answer;
}

PageAnswer notFound() {
    return plainAnswer(404, "Not Found", "Not found");
}

std::string realFolderPath(const std::string& folder) {
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return {};
    return resolved;
}

PageAnswer answerFromFolder(const std::function<std::string()>& folderOf, const std::string& path) {
    const std::string folder = folderOf ? folderOf() : std::string();
    if (folder.empty()) return notFound();
    std::optional<std::string> relative = confinedRelativePath(path);
    if (!relative) return plainAnswer(403, "Forbidden", "Forbidden");
    int error = 0;
    FileHandle file = openInsideFolder(folder, *relative, &error);
    if (!file) {
        return error == ENOENT ? notFound() : plainAnswer(403, "Forbidden", "Forbidden");
    }
    struct stat info {};
    ::fstat(file.get(), &info);

    PageAnswer answer = plainAnswer(200, "OK", {});
    answer.contentType = std::string(folderFileType(*relative));
    // Should a folder's .html or .svg be opened as a document, it runs without scripts and
    // without an origin, so it can neither send commands nor read the page's files.
    answer.headers.emplace_back("Content-Security-Policy", "sandbox; default-src 'none'");
    answer.file = std::move(file);
    answer.fileSize = static_cast<std::uint64_t>(info.st_size);
    return answer;
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

std::string pageHostUrl(std::string_view host) {
    return std::string(kPageScheme) + "://" + std::string(host) + "/";
}

std::string pageOrigin() {
    return std::string(kPageScheme) + "://" + std::string(kAppHost);
}

PageUriParts splitPageUri(std::string_view uri) {
    PageUriParts parts;
    std::size_t start = uri.find("://");
    std::string_view rest = start == std::string_view::npos ? uri : uri.substr(start + 3);
    std::size_t hostEnd = rest.find_first_of("/?#");
    std::string_view host = rest.substr(0, hostEnd);
    for (char c : host)
        parts.host += lowerAscii(c);
    std::string_view path =
        hostEnd == std::string_view::npos ? std::string_view() : rest.substr(hostEnd);
    path = path.substr(0, path.find_first_of("?#"));
    parts.path = path.empty() ? "/" : std::string(path);
    return parts;
}

std::optional<std::string> confinedRelativePath(std::string_view requestPath) {
    if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
    std::string relative;
    std::size_t start = 1;
    while (true) {
        std::size_t end = requestPath.find('/', start);
        std::string_view raw = requestPath.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // An empty segment is a doubled or trailing slash: no file has that name.
        if (raw.empty()) return std::nullopt;
        std::optional<std::string> segment = decodeSegment(raw);
        if (!segment || *segment == "." || *segment == "..") return std::nullopt;
        if (segment->find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
            return std::nullopt;
        if (!relative.empty()) relative += '/';
        relative += *segment;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return relative;
}

FileHandle openInsideFolder(const std::string& folder, const std::string& relative, int* error) {
    int ignored = 0;
    int& reason = error ? *error : ignored;
    reason = 0;
    const std::string realFolder = realFolderPath(folder);
    if (realFolder.empty() || relative.empty()) {
        reason = ENOENT;
        return {};
    }
    FileHandle dir(::open(realFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) {
        reason = ENOENT;
        return {};
    }
    // Non-blocking, so a named pipe cannot hold the window's loop; it is refused below anyway.
    FileHandle file(
        ::openat(dir.get(), relative.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file) {
        reason = errno == ENOENT || errno == ENOTDIR ? ENOENT : EACCES;
        return {};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = EACCES;
        return {};
    }
    // The name the open file really has, after every link on the way: it must still lie
    // inside the folder. Checking the open descriptor leaves no gap for a link swapped in
    // between a check and the open.
    char actual[PATH_MAX];
    const std::string fdPath = "/proc/self/fd/" + std::to_string(file.get());
    ssize_t length = ::readlink(fdPath.c_str(), actual, sizeof actual - 1);
    if (length <= 0) {
        reason = EACCES;
        return {};
    }
    const std::string real(actual, static_cast<std::size_t>(length));
    const std::string prefix = realFolder.back() == '/' ? realFolder : realFolder + "/";
    if (real.size() <= prefix.size() || real.compare(0, prefix.size(), prefix) != 0) {
        reason = EACCES;
        return {};
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

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

PageAnswer answerPageRequest(const PageSources& sources, std::string_view method,
                             std::string_view uri) {
    const PageUriParts parts = splitPageUri(uri);
    const bool assets = parts.host == kAssetsHost;
    const bool species = parts.host == kSpeciesHost;
    if (!assets && !species && parts.host != kAppHost) return notFound();
    if (method != "GET" && method != "HEAD" && !method.empty()) {
        PageAnswer answer = plainAnswer(405, "Method Not Allowed", "Method not allowed");
        answer.headers.emplace_back("Allow", "GET, HEAD");
        return answer;
    }

    // The page's own files answer on every host, as the route table has always done.
    if (sources.embedded) {
        if (std::optional<PageFile> file = sources.embedded(uri)) {
            PageAnswer answer = plainAnswer(200, "OK", file->body);
            answer.contentType = std::string(file->contentType);
            return answer;
        }
    }
    if (!assets && !species) return notFound();

    PageAnswer answer =
        answerFromFolder(assets ? sources.assetsFolder : sources.speciesFolder, parts.path);
    // The page reads these files with fetch and as textures, and must tell a missing file
    // from a broken channel; no other origin may read them.
    answer.headers.emplace_back("Access-Control-Allow-Origin", pageOrigin());
    return answer;
}

}  // namespace platform
