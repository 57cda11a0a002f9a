// The PNG writer that the helper's library gives the fake helper for the game's textures: what
// goes in comes back out of any PNG reader pixel for pixel, and pixels that do not fit the size
// give no file at all.

#include <gtest/gtest.h>
#include <stb_image.h>

#include <string>
#include <vector>

#include "assets/images.h"

namespace {

TEST(EncodePng, ThePixelsReadBackExactlyForEveryChannelCount) {
    struct Case {
        int width, height, channels;
    } cases[] = {{1, 1, 1}, {3, 2, 2}, {5, 7, 3}, {256, 256, 4}, {1, 300, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                     std::to_string(c.channels));
        std::vector<unsigned char> pixels(static_cast<size_t>(c.width) * c.height * c.channels);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>((i * 37 + i / 7) % 256);
        const std::string png = assets::encodePng(c.width, c.height, c.channels, pixels);
        ASSERT_GT(png.size(), 8u);
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        int width = 0, height = 0, channels = 0;
        unsigned char* read =
            stbi_load_from_memory(reinterpret_cast<const unsigned char*>(png.data()),
                                  static_cast<int>(png.size()), &width, &height, &channels, 0);
        ASSERT_NE(read, nullptr) << stbi_failure_reason();
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(channels, c.channels);
        EXPECT_EQ(std::vector<unsigned char>(read, read + pixels.size()), pixels);
        stbi_image_free(read);
    }
}

TEST(EncodePng, PixelsThatDoNotFitTheSizeGiveNothing) {
    const std::vector<unsigned char> twelve(12, 7);
    struct Case {
        int width, height, channels;
    } cases[] = {{2, 2, 4}, {2, 2, 2}, {0, 4, 3}, {4, 0, 3}, {-2, -2, 3}, {2, 1, 6}, {12, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                     std::to_string(c.channels));
        EXPECT_EQ(assets::encodePng(c.width, c.height, c.channels, twelve), "");
    }
    EXPECT_NE(assets::encodePng(2, 2, 3, twelve), "");
}

}  // namespace
