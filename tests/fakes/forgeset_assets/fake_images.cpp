#include "forgeset_assets/fake_images.h"

#include <algorithm>
#include <cmath>

#include "assets/images.h"

namespace fake_assets {

// The model's UVs run u from tail (0) to snout (1) and v once around the body starting and
// ending at the belly with the spine at v = 0.5, so every image below is laid out in that
// frame: x along the body, y around it.

namespace {

uint32_t hash2(int x, int y, uint32_t seed) {
    uint32_t h =
        seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u);
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

// Position of a pixel on the body: u along it, d the height from belly (0) to spine (1).
void bodyFrame(int x, int y, int w, int h, double& u, double& d) {
    u = (x + 0.5) / w;
    double v = (y + 0.5) / h;
    d = std::min(v, 1.0 - v) * 2.0;
}

using Colour = std::array<uint8_t, 4>;

constexpr Colour kBlack{0, 0, 0, 255};
constexpr Colour kRed{255, 0, 0, 255};        // male display
constexpr Colour kGreen{0, 255, 0, 255};      // underbelly
constexpr Colour kBlue{0, 0, 255, 255};       // flank
constexpr Colour kCyan{0, 255, 255, 255};     // body
constexpr Colour kMagenta{255, 0, 255, 255};  // markings
constexpr Colour kYellow{255, 255, 0, 255};   // detail

bool nearEye(double u, double d) {
    return std::hypot((u - 0.925) * 4.0, d - 0.66) < 0.035;
}

// A `size` x `size` image whose every pixel takes the colour `colourAt(x, y, u, d)` gives for
// its place on the body.
template <typename ColourAt>
Image paint(int size, int channels, ColourAt colourAt) {
    Image image(size, size, channels);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u, d;
            bodyFrame(x, y, size, size, u, d);
            image.set(x, y, colourAt(x, y, u, d));
        }
    }
    return image;
}

}  // namespace

Image adultPattern(int size) {
    return paint(size, 4, [](int, int, double u, double d) {
        Colour c = d < 0.22 ? kGreen : d < 0.55 ? kBlue : kCyan;
        // Tiger stripes over back and flanks, wavy so they read as painted, not ruled.
        double stripe = std::fmod(u * 22.0 + 0.35 * std::sin(d * 9.0), 1.0);
        if (u > 0.12 && u < 0.82 && d > 0.42 && stripe < 0.28) c = kMagenta;
        // Display crest along the spine over the shoulders and neck.
        if (d > 0.86 && u > 0.52 && u < 0.88) c = kRed;
        // Small flank spots and the eyes take the detail colour.
        double su = std::fmod(u * 16.0, 1.0), sd = std::fmod(d * 10.0, 1.0);
        if (d > 0.25 && d < 0.5 && u > 0.2 && u < 0.75 && std::hypot(su - 0.5, sd - 0.5) < 0.18)
            c = kYellow;
        return nearEye(u, d) ? kYellow : c;
    });
}

Image juvenilePattern(int size) {
    return paint(size, 4, [](int, int, double u, double d) {
        Colour c = d < 0.3 ? kGreen : d < 0.6 ? kBlue : kCyan;
        // Hatchling dapples: round spots in a staggered grid over the upper body.
        double row = std::floor(d * 8.0);
        double su = std::fmod(u * 14.0 + row * 0.5, 1.0), sd = std::fmod(d * 8.0, 1.0);
        if (d > 0.35 && std::hypot(su - 0.5, sd - 0.5) < 0.3) c = kMagenta;
        return nearEye(u, d) ? kYellow : c;
    });
}

// Roughness, ambient occlusion and cavity: the page shades by green / 128 and blue / 255, so
// green hovers around 128 and blue stays high except in the creases between scales.
Image racImage(int size) {
    return paint(size, 3, [](int x, int y, double, double d) {
        int rough = 190 + static_cast<int>(hash2(x, y, 7) % 40);
        int ao = 118 + static_cast<int>(hash2(x / 4, y / 4, 11) % 21);
        if (d < 0.12) ao -= 30;  // the belly sits in its own shadow
        bool crease = (x % 8 == 0) || ((y + (x / 8) * 4) % 8 == 0);
        int cavity = crease ? 170 : 235 + static_cast<int>(hash2(x, y, 3) % 21);
        return Colour{static_cast<uint8_t>(rough), static_cast<uint8_t>(ao),
                      static_cast<uint8_t>(cavity), 255};
    });
}

// Teeth (red), mouth (green) and claws (blue); everything else is black.
Image maskImage(int size) {
    return paint(size, 3, [](int, int, double u, double d) {
        bool foot = std::fabs(u - 0.36) < 0.03 || std::fabs(u - 0.62) < 0.03;
        if (u > 0.93 && d > 0.38 && d < 0.44) return kRed;
        if (u > 0.93 && d > 0.30 && d < 0.38) return kGreen;
        return foot && d < 0.1 ? kBlue : kBlack;
    });
}

std::string pngBytes(const Image& image) {
    return assets::encodePng(image.width, image.height, image.channels, image.pixels);
}

}  // namespace fake_assets
