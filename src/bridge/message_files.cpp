#include "bridge/message_files.h"

#include <cstring>

#include "bridge/json_write.h"
#include "platform/file_reading.h"
#include "platform/memory.h"

namespace bridge {

namespace {

// Small enough to stay in the processor's cache while it is escaped.
constexpr std::size_t kBlock = 32 * 1024;

}  // namespace

std::string reservedMessage(std::size_t expected) {
    std::string message;
    message.reserve(expected + kJsonEscapeReach);
    platform::preferLargePages(message.data(), message.capacity());
    return message;
}

std::optional<platform::ReadableFile> openDocument(const std::string& path) {
    platform::Result<platform::ReadableFile> file = platform::openForReading(path);
    if (!file) return std::nullopt;
    return std::move(*file);
}

void appendFileEscaped(std::string& out, platform::ReadableFile& file) {
    // A character cut by a block's end is carried to the front of the next block. A failed
    // read ends the file, as it does for readFileBytes.
    char block[kBlock + 4];
    std::size_t kept = 0;
    for (;;) {
        const std::size_t got = platform::readSome(file.handle, block + kept, kBlock).value_or(0);
        if (!got) break;
        const std::size_t have = kept + got;
        const std::size_t done = appendJsonEscapedPart(out, std::string_view(block, have));
        kept = have - done;
        std::memmove(block, block + done, kept);
    }
    appendJsonEscaped(out, std::string_view(block, kept));
}

void appendFileBytes(std::string& out, platform::ReadableFile& file) {
    // The size the file had when opened comes in one read, straight into the message. A file
    // that grew meanwhile is read on to its new end; a failed read ends it.
    const std::size_t used = out.size(), size = static_cast<std::size_t>(file.size);
    std::size_t got = 0;
    out.resize_and_overwrite(used + size, [&](char* data, std::size_t) {
        if (size) got = platform::readSome(file.handle, data + used, size).value_or(0);
        return used + got;
    });
    if (size && !got) return;
    char block[kBlock];
    while (const std::size_t more = platform::readSome(file.handle, block, kBlock).value_or(0))
        out.append(block, more);
}

}  // namespace bridge
