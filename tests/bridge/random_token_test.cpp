#include "bridge/random_token.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace bridge {

TEST(RandomHexTest, LengthAndDigits) {
    EXPECT_EQ(randomHex(0), "");
    EXPECT_EQ(randomHex(-5), "");
    EXPECT_EQ(randomHex(1).size(), 2u);
    std::string token = randomHex(16);
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
}

TEST(RandomHexTest, TokensDifferAndEveryByteIsEquallyLikely) {
    std::set<std::string> tokens;
    for (int i = 0; i < 1000; ++i)
        tokens.insert(randomHex(16));
    EXPECT_EQ(tokens.size(), 1000u);

    // 100,000 bytes: each of the 256 two-digit values is expected about 391 times, with a
    // standard deviation near 20; a band of +-140 fails only for a biased source or digits
    // taken from the wrong part of the byte.
    std::array<int, 256> counts{};
    std::string many = randomHex(100'000);
    ASSERT_EQ(many.size(), 200'000u);
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    for (std::size_t i = 0; i < many.size(); i += 2)
        ++counts[value(many[i]) * 16 + value(many[i + 1])];
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_NEAR(counts[byte], 391, 140) << "byte " << byte;
}

}  // namespace bridge
