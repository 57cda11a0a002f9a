#pragma once
// The game's textures as the fake export writes them: made-up images laid out on the fake
// model's body, so that the studio has something to show and to paint on.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fake_assets {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 4;  // 3 = RGB, 4 = RGBA
    std::vector<uint8_t> pixels;

    Image(int w, int h, int c)
        : width(w), height(h), channels(c), pixels(static_cast<size_t>(w) * h * c, 0) {}

    void set(int x, int y, std::array<uint8_t, 4> rgba) {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * channels];
        for (int i = 0; i < channels; ++i)
            p[i] = rgba[static_cast<size_t>(i)];
    }
};

Image adultPattern(int size);
Image juvenilePattern(int size);
// Roughness, ambient occlusion and cavity.
Image racImage(int size);
// Teeth, mouth and claws.
Image maskImage(int size);

// The image as a PNG file's bytes, written as the real helper writes its images.
std::string pngBytes(const Image& image);

}  // namespace fake_assets
