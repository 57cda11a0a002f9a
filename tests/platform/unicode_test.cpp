#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>

TEST(IsLetterOrDigitTest, AsciiLettersAndDigitsOnly) {
    for (char32_t c = 0; c < 0x80; ++c) {
        bool expected = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        EXPECT_EQ(platform::isLetterOrDigit(c), expected) << static_cast<unsigned>(c);
    }
}

TEST(IsLetterOrDigitTest, LettersAndDigitsOfOtherScripts) {
    for (char32_t c : {U'é', U'ß', U'Ж', U'я', U'中', U'狼', U'Ω', U'ñ', U'٣', U'ā'}) {
        EXPECT_TRUE(platform::isLetterOrDigit(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(IsLetterOrDigitTest, PunctuationBlanksSymbolsAndEmoji) {
    for (char32_t c :
         {U'\u00A0', U'\u3000', U'\u2014', U'«', U'€', U'©', U'·', U'😀', U'\u200B', U'\uFFFD',
          U'\u0085', static_cast<char32_t>(0xD800), static_cast<char32_t>(0x110000)}) {
        EXPECT_FALSE(platform::isLetterOrDigit(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(IsLetterOrDigitTest, IndependentOfTheProcessLocale) {
    // Number formatting needs the process locale to stay "C"; the check must not rely on it.
    const char* before = std::setlocale(LC_ALL, nullptr);
    EXPECT_STREQ(before, "C");
    EXPECT_TRUE(platform::isLetterOrDigit(U'é'));
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
}

TEST(IsLetterOrDigitTest, LettersBeyondTheBasicPlaneAsTheSystemJudgesThem) {
    // Windows classifies UTF-16 units, and a surrogate half is neither letter nor digit, so
    // names there have never held these; the C library of Linux takes them as letters.
#ifdef _WIN32
    constexpr bool kLetters = false;
#else
    constexpr bool kLetters = true;
#endif
    for (char32_t c : {U'\U00020000', U'\U0001D400', U'\U00010400', U'\U0001D7CE'}) {
        EXPECT_EQ(platform::isLetterOrDigit(c), kLetters)
            << std::hex << static_cast<std::uint32_t>(c);
    }
    EXPECT_FALSE(platform::isLetterOrDigit(U'\U0001F600'));
}
