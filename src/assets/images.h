#pragma once
#include <filesystem>
#include <span>
#include <string>

namespace assets {

namespace fs = std::filesystem;

// Images wider or taller than this are refused before their pixels are decoded: a 30,000 pixel
// square would take several gigabytes, and no game texture comes near it.
inline constexpr int kMaxDecodedSide = 16384;

// Size and channel count from an image's header (PNG, TGA, JPEG); nothing is decoded, so this
// is cheap even for the largest files. `ok` is false when the header cannot be read, which
// includes headers so large that stb declines even to report their size. `tooLarge` marks an
// image this program will not decode because a side exceeds kMaxDecodedSide.
struct ImageHeader {
    bool ok = false;
    bool tooLarge = false;
    int width = 0;
    int height = 0;
    int channels = 0;
};
ImageHeader readImageHeader(const fs::path& file);

// Why an image whose header is not ok, or too large, will not be prepared: words that follow the
// file's name in a message ("is 30000 x 30000, larger than ...").
std::string headerProblem(const ImageHeader& header);

// The size an image of `width` x `height` gets when its longer side must fit `maxSide`: scaled
// down keeping its proportions, never up.
struct ImageSize {
    int width = 0;
    int height = 0;
};
ImageSize fittedSize(int width, int height, int maxSide);

// Decodes `source`, scales it down to fit `maxSide`, and writes it to `target` as PNG. Colour
// images (`srgb`) are filtered in linear light so that scaling keeps their brightness; data
// textures (normals, masks) are filtered as the plain numbers they are. Empty on success, else
// the reason; `written` receives the size written.
std::string writeScaledPng(const fs::path& source, const fs::path& target, int maxSide, bool srgb,
                           ImageSize& written);

// A PNG file's bytes for `width` x `height` pixels of `channels` bytes each (1 grey, 2 grey and
// alpha, 3 RGB, 4 RGBA), row after row from the top; empty when the size or the pixels do not
// fit together.
std::string encodePng(int width, int height, int channels, std::span<const unsigned char> pixels);

}  // namespace assets
