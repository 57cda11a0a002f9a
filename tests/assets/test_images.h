#pragma once
// Image files for the helper's tests, written with stb in the formats owners bring (PNG, TGA,
// JPEG), and headers that claim a size no file should have.

#include <stb_image.h>
#include <stb_image_write.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace assets_test {

namespace fs = std::filesystem;

// A `width` x `height` image of one colour (the first `channels` of `rgba`), in the format its
// extension names.
inline bool writeSolidImage(const fs::path& file, int width, int height, int channels,
                            std::array<unsigned char, 4> rgba = {200, 100, 50, 255}) {
    fs::create_directories(file.parent_path());
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = rgba[i % channels];
    std::string ext = file.extension().string();
    if (ext == ".png" || ext == ".PNG")
        return stbi_write_png(file.c_str(), width, height, channels, pixels.data(), 0) != 0;
    if (ext == ".tga")
        return stbi_write_tga(file.c_str(), width, height, channels, pixels.data()) != 0;
    return stbi_write_jpg(file.c_str(), width, height, channels, pixels.data(), 95) != 0;
}

// A TGA header for a `width` x `height` true-colour image with no pixels after it.
inline void writeTgaHeaderOnly(const fs::path& file, int width, int height) {
    unsigned char header[18] = {0, 0, 2};
    header[12] = static_cast<unsigned char>(width & 0xFF);
    header[13] = static_cast<unsigned char>(width >> 8);
    header[14] = static_cast<unsigned char>(height & 0xFF);
    header[15] = static_cast<unsigned char>(height >> 8);
    header[16] = 24;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof header);
}

inline uint32_t crc32(const unsigned char* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A real 1 x 1 PNG whose header (with a correct checksum) then claims `width` x `height`.
inline void writePngClaimingSize(const fs::path& file, uint32_t width, uint32_t height) {
    unsigned char pixel[3] = {1, 2, 3};
    std::vector<unsigned char> bytes;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<unsigned char>*>(context);
        out->insert(out->end(), static_cast<unsigned char*>(data),
                    static_cast<unsigned char*>(data) + size);
    };
    stbi_write_png_to_func(append, &bytes, 1, 1, 3, pixel, 3);
    // Signature (8), IHDR length (4) and type (4), then width and height, big-endian.
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        bytes[20 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    uint32_t crc = crc32(&bytes[12], 17);
    for (int i = 0; i < 4; ++i)
        bytes[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct ReadImage {
    int width = 0, height = 0, channels = 0;
    std::vector<unsigned char> pixels;
};

inline ReadImage readImage(const fs::path& file) {
    ReadImage image;
    unsigned char* data = stbi_load(file.c_str(), &image.width, &image.height, &image.channels, 0);
    if (data != nullptr) {
        image.pixels.assign(
            data, data + static_cast<size_t>(image.width) * image.height * image.channels);
        stbi_image_free(data);
    }
    return image;
}

}  // namespace assets_test
