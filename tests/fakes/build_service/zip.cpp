#include "zip.h"

#include <array>
#include <cstdint>

namespace {

std::uint32_t crc32(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The fields local and central headers share: version, flags, method (0, stored), a fixed
// time and date, checksum, sizes and the name's length.
void common(std::string& out, std::uint32_t crc, std::uint32_t size, std::size_t nameLength) {
    put16(out, 20);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0x5A21);  // 2025-01-01
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<std::uint32_t>(nameLength));
    put16(out, 0);
}

}  // namespace

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string archive, directory;
    for (const auto& [name, content] : files) {
        std::uint32_t crc = crc32(content);
        std::uint32_t size = static_cast<std::uint32_t>(content.size());
        std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        put32(archive, 0x04034b50);
        common(archive, crc, size, name.size());
        archive += name;
        archive += content;
        put32(directory, 0x02014b50);
        put16(directory, 20);
        common(directory, crc, size, name.size());
        put16(directory, 0);  // comment length
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += name;
    }
    std::uint32_t directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<std::uint32_t>(files.size()));
    put16(archive, static_cast<std::uint32_t>(files.size()));
    put32(archive, static_cast<std::uint32_t>(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0);
    return archive;
}
