#include "platform/folder_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

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

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// One path segment with its escapes decoded once, so "%252e" stays the name "%2e".
std::optional<std::string> decodeSegment(std::string_view raw) {
    std::string decoded;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            int high = hexValue(raw[i + 1]);
            int low = hexValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<unsigned char>(high * 16 + low);
            i += 2;
            if (c == '/' || c == '.') return std::nullopt;
        }
        if (c == '\\' || isControl(c)) return std::nullopt;
        decoded += static_cast<char>(c);
    }
    return decoded;
}

std::string realFolderPath(const std::string& folder) {
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return {};
    return resolved;
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
        if (!relative.empty()) relative += '/';
        relative += *segment;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return relative;
}

Result<FileHandle> openInsideFolder(const std::string& folder, const std::string& relative) {
    const std::string realFolder = realFolderPath(folder);
    if (realFolder.empty() || relative.empty()) return fail(ENOENT, "no such folder or file");
    FileHandle dir(::open(realFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return fail(ENOENT, "no such folder");
    // Non-blocking, so a named pipe cannot hold the caller; it is refused below anyway.
    FileHandle file(
        ::openat(dir.get(), relative.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return fail(ENOENT, "no such file");
        return fail(EACCES, "cannot open the file");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return fail(EACCES, "not a regular file");
    }
    // The name the open file really has, after every link on the way: it must still lie
    // inside the folder.
    char actual[PATH_MAX];
    const std::string fdPath = "/proc/self/fd/" + std::to_string(file.get());
    ssize_t length = ::readlink(fdPath.c_str(), actual, sizeof actual - 1);
    if (length <= 0) return fail(EACCES, "cannot tell where the file lies");
    const std::string real(actual, static_cast<std::size_t>(length));
    const std::string prefix = realFolder.back() == '/' ? realFolder : realFolder + "/";
    if (real.size() <= prefix.size() || real.compare(0, prefix.size(), prefix) != 0) {
        return fail(EACCES, "outside the folder");
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

std::string readOpenFile(const FileHandle& file) {
    std::string bytes;
    char block[65536];
    for (;;) {
        ssize_t n = ::read(file.get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(block, static_cast<std::size_t>(n));
    }
    return bytes;
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

}  // namespace platform
