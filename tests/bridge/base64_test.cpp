#include "bridge/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/test_app.h"

namespace bridge {

TEST(Base64DecodeTest, PaddingBlanksAndShortInput) {
    EXPECT_EQ(base64Decode("aGk="), "hi");
    EXPECT_EQ(base64Decode("aG k=\r\n"), "hi");
    EXPECT_EQ(base64Decode("aGk"), "hi");  // padding is optional
    EXPECT_EQ(base64Decode("a"), "");
    EXPECT_EQ(base64Decode(""), "");
    EXPECT_EQ(base64Decode("TWFu"), "Man");
    EXPECT_EQ(base64Decode("////"), "\xFF\xFF\xFF");
}

TEST(Base64DecodeTest, FirstEqualsSignEndsTheInput) {
    EXPECT_EQ(base64Decode("aGk=aGk="), "hi");
    EXPECT_EQ(base64Decode("=aGk"), "");
}

TEST(Base64DecodeTest, CharactersOutsideTheAlphabetAreSkipped) {
    // The URL-safe letters are not part of the standard alphabet.
    EXPECT_EQ(base64Decode("-_aGk"), "hi");
    EXPECT_EQ(base64Decode("a\xC3\xA9Gk"), "hi");
    EXPECT_EQ(base64Decode(std::string("aG\0k", 4)), "hi");
}

TEST(Base64DecodeTest, DecodesWhatAnEncoderWrote) {
    std::mt19937 random(99);
    for (std::size_t size = 0; size < 300; ++size) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        std::string encoded = base64Encode(bytes);
        ASSERT_EQ(base64Decode(encoded), bytes) << "size " << size;
        // The page may wrap long base64 text in lines, as MIME encoders do.
        std::string wrapped;
        for (std::size_t i = 0; i < encoded.size(); i += 76)
            wrapped += encoded.substr(i, 76) + "\r\n";
        ASSERT_EQ(base64Decode(wrapped), bytes) << "size " << size;
    }
}

}  // namespace bridge
