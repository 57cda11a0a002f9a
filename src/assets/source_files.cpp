#include "assets/source_files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/ascii.h"

namespace assets {

std::string lowerExtension(const fs::path& path) {
    return platform::lowerAsciiText(path.extension().string());
}

SourceListing listSourceFiles(const fs::path& root,
                              std::initializer_list<std::string_view> extensions) {
    SourceListing listing;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code kindError;
        std::string relative = entry.path().lexically_relative(root).generic_string();
        if (entry.is_symlink(kindError)) {
            listing.links.push_back(relative);
            continue;
        }
        if (!entry.is_regular_file(kindError)) continue;
        std::string extension = lowerExtension(entry.path());
        if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end())
            listing.files.push_back(relative);
    }
    std::sort(listing.files.begin(), listing.files.end());
    std::sort(listing.links.begin(), listing.links.end());
    return listing;
}

std::optional<std::string> readWholeFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string writeFileAtomically(const fs::path& target, std::string_view bytes) {
    // The process id keeps two helpers writing into the same folder from sharing a copy.
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return "cannot create " + temporary.string() + ": " + std::strerror(errno);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (file.fail()) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return "cannot write " + temporary.string();
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return "cannot replace " + target.string() + ": " + ec.message();
    }
    return {};
}

}  // namespace assets
