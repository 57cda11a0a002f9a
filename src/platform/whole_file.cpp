#include <string>

#include "platform/file_reading.h"
#include "platform/files.h"

namespace platform {

Result<std::string> readWholeFile(const std::string& path) {
    Result<ReadableFile> file = openForReading(path);
    if (!file) return std::unexpected(file.error());
    // Read straight into the result, sized by the file and not cleared first: one byte more
    // than the size, so the end shows at once. A file that grows meanwhile is read on to its
    // new end; a failed read ends it like the end of the file.
    std::string bytes;
    std::size_t ask = static_cast<std::size_t>(file->size) + 1;
    for (;;) {
        const std::size_t used = bytes.size();
        std::size_t got = 0;
        bytes.resize_and_overwrite(used + ask, [&](char* data, std::size_t) {
            got = readSome(file->handle, data + used, ask).value_or(0);
            return used + got;
        });
        if (got == 0) return bytes;
        const std::size_t spare = bytes.capacity() - bytes.size();
        ask = spare ? spare : bytes.size();
    }
}

}  // namespace platform
