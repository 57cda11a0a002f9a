#include "assets/images.h"

#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace assets {

namespace {

// stb names files with char strings. On Linux those are the path's own bytes; on Windows stb
// is built to read them as UTF-8 (win32/stb_implementation.cpp), which is what a path gives as
// UTF-8 there.
std::string stbName(const fs::path& file) {
    std::u8string name = file.u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace

ImageHeader readImageHeader(const fs::path& file) {
    ImageHeader header;
    header.ok =
        stbi_info(stbName(file).c_str(), &header.width, &header.height, &header.channels) != 0;
    if (!header.ok) return {};
    header.tooLarge = header.width > kMaxDecodedSide || header.height > kMaxDecodedSide;
    return header;
}

std::string headerProblem(const ImageHeader& header) {
    if (!header.ok) return "cannot be read as a PNG, TGA or JPEG image (damaged, or too large)";
    return "is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
           ", larger than the " + std::to_string(kMaxDecodedSide) +
           " pixels a side this helper reads";
}

ImageSize fittedSize(int width, int height, int maxSide) {
    int longer = std::max(width, height);
    if (longer <= maxSide || maxSide <= 0) return {width, height};
    double scale = static_cast<double>(maxSide) / longer;
    auto side = [&](int v) { return std::max(1, static_cast<int>(std::lround(v * scale))); };
    return {side(width), side(height)};
}

std::string writeScaledPng(const fs::path& source, const fs::path& target, int maxSide, bool srgb,
                           ImageSize& written) {
    ImageHeader header = readImageHeader(source);
    if (!header.ok || header.tooLarge) return headerProblem(header);
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load(stbName(source).c_str(), &width, &height, &channels, 0), stbi_image_free);
    if (!pixels) return std::string("could not be decoded (") + stbi_failure_reason() + ")";

    ImageSize size = fittedSize(width, height, maxSide);
    const unsigned char* out = pixels.get();
    std::vector<unsigned char> scaled;
    if (size.width != width || size.height != height) {
        scaled.resize(static_cast<size_t>(size.width) * size.height * channels);
        // Grey-and-alpha and RGBA images keep their alpha out of the colour conversion.
        int alpha = channels == 2 || channels == 4 ? channels - 1 : STBIR_ALPHA_CHANNEL_NONE;
        int ok = srgb ? stbir_resize_uint8_srgb(pixels.get(), width, height, 0, scaled.data(),
                                                size.width, size.height, 0, channels, alpha, 0)
                      : stbir_resize_uint8(pixels.get(), width, height, 0, scaled.data(),
                                           size.width, size.height, 0, channels);
        if (!ok) return "could not be scaled";
        out = scaled.data();
    }
    if (stbi_write_png(stbName(target).c_str(), size.width, size.height, channels, out,
                       size.width * channels) == 0) {
        return "could not be written to " + target.string();
    }
    written = size;
    return {};
}

std::string encodePng(int width, int height, int channels, std::span<const unsigned char> pixels) {
    if (width <= 0 || height <= 0 || channels < 1 || channels > 4 ||
        pixels.size() != static_cast<size_t>(width) * height * channels)
        return {};
    std::string png;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                                   static_cast<size_t>(size));
    };
    if (stbi_write_png_to_func(append, &png, width, height, channels, pixels.data(),
                               width * channels) == 0)
        return {};
    return png;
}

}  // namespace assets
