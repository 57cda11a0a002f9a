// How the desktop window answers the page's requests. No toolkit here: the window turns a
// PageAnswer into the web view's response.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/ascii.h"
#include "platform/desktop.h"

namespace platform {

namespace {

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

PageAnswer answerFromFolder(const std::function<std::string()>& folderOf, const std::string& path) {
    const std::string folder = folderOf ? folderOf() : std::string();
    if (folder.empty()) return notFound();
    std::optional<std::string> relative = confinedRelativePath(path);
    if (!relative) return plainAnswer(403, "Forbidden", "Forbidden");
    Result<FileHandle> opened = openInsideFolder(folder, *relative);
    if (!opened) {
        return opened.error().code == ENOENT ? notFound()
                                             : plainAnswer(403, "Forbidden", "Forbidden");
    }
    FileHandle file = std::move(*opened);
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
