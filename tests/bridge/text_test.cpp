#include "bridge/text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>
#include <string>

#include "bridge/json_write.h"

namespace bridge {

namespace {

const std::string kBad = "\uFFFD";

// True when a JSON parser accepts the text as the content of a string, which it only does
// for well-formed UTF-8.
bool parsesAsUtf8(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text)
        quoted += (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? 'x' : c;
    return nlohmann::json::accept(quoted + "\"");
}

}  // namespace

TEST(FromUtf8Test, ValidTextComesBackUnchanged) {
    const std::string text = std::string("plain \0 NUL", 11) + " é ß Ж 中 😀 \U0010FFFF \x7f";
    EXPECT_EQ(fromUtf8(text), text);
    EXPECT_EQ(fromUtf8(""), "");
}

TEST(FromUtf8Test, OneReplacementPerMaximalIllFormedPart) {
    // The example sequence of the Unicode standard for substitution of maximal subparts.
    EXPECT_EQ(fromUtf8("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"),
              "a" + kBad + kBad + kBad + "b" + kBad + "c" + kBad + kBad + "d");
    EXPECT_EQ(fromUtf8("\xC0\xAF"), kBad + kBad);                        // overlong slash
    EXPECT_EQ(fromUtf8("\xE0\x80\xAF"), kBad + kBad + kBad);             // overlong three-byte form
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), kBad + kBad + kBad);             // encoded surrogate
    EXPECT_EQ(fromUtf8("\xF4\x90\x80\x80"), kBad + kBad + kBad + kBad);  // above U+10FFFF
    EXPECT_EQ(fromUtf8("\xF5\xFE\xFF"), kBad + kBad + kBad);
    EXPECT_EQ(fromUtf8("ok\xF0\x9F\x98"), "ok" + kBad);  // cut off at the end
    EXPECT_EQ(fromUtf8("\xE2\x82x"), kBad + "x");
}

TEST(FromUtf8Test, FindsBadBytesAfterLongAsciiRuns) {
    for (std::size_t pos = 0; pos < 24; ++pos) {
        std::string text(24, 'a');
        text[pos] = '\xFF';
        std::string expected = std::string(pos, 'a') + kBad + std::string(23 - pos, 'a');
        EXPECT_EQ(fromUtf8(text), expected) << "bad byte at " << pos;
    }
}

TEST(FromUtf8Test, RandomBytesBecomeValidAndStayStable) {
    std::mt19937 random(4242);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 48, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 4 == 0 ? random() : 0x80 | random());
        std::string fixed = fromUtf8(bytes);
        ASSERT_TRUE(parsesAsUtf8(fixed)) << jsonEscape(fixed);
        ASSERT_EQ(fromUtf8(fixed), fixed);
        // Replacement never invents characters: every input byte yields at most one.
        ASSERT_LE(characterCount(fixed), bytes.size());
    }
}

TEST(Utf8CodecTest, EveryScalarValueRoundTrips) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string encoded;
        appendUtf8(encoded, c);
        std::size_t expectedLength = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        ASSERT_EQ(encoded.size(), expectedLength) << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(utf8SequenceLength(encoded, 0), expectedLength)
            << std::hex << static_cast<unsigned>(c);
        std::size_t i = 0;
        ASSERT_EQ(static_cast<unsigned>(decodeUtf8(encoded, i)), static_cast<unsigned>(c));
        ASSERT_EQ(i, expectedLength);
    }
}

TEST(Utf8CodecTest, IllFormedSequencesAreRecognised) {
    std::string surrogate;
    appendUtf8(surrogate, 0xD800);
    EXPECT_EQ(utf8SequenceLength(surrogate, 0), 0u);
    EXPECT_EQ(utf8IllFormedLength(surrogate, 0), 1u);
    EXPECT_EQ(utf8IllFormedLength("\xF0\x9F\x98x", 0), 3u);
    EXPECT_EQ(utf8IllFormedLength("\x80", 0), 1u);
    std::size_t i = 0;
    EXPECT_EQ(decodeUtf8("\xFF\x61", i), U'\uFFFD');
    EXPECT_EQ(i, 1u);
    EXPECT_EQ(characterCount("aé€😀"), 4u);
    EXPECT_EQ(characterCount("a\xFF"), 2u);
}

TEST(ReplaceAllTest, ReplacesEveryOccurrenceWithoutRescanning) {
    EXPECT_EQ(replaceAll("{{N}} and {{N}}", "{{N}}", "Wolf"), "Wolf and Wolf");
    // The inserted text contains the pattern and is not searched again.
    EXPECT_EQ(replaceAll("aXa", "a", "aa"), "aaXaa");
    EXPECT_EQ(replaceAll("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(replaceAll("none here", "zz", "y"), "none here");
    EXPECT_EQ(replaceAll("abc", "abc", ""), "");
    EXPECT_EQ(replaceAll("", "a", "b"), "");
    EXPECT_EQ(replaceAll(std::string("a\0b", 3), std::string("\0", 1), "-"), "a-b");
}

TEST(IsPlainNameTest, LettersAndDigitsOfAnyScriptUnderscoreAndDash) {
    for (const char* name : {"a", "Wolf_2-b", "été", "Straße", "Волк", "狼", "x1", "_", "-"}) {
        EXPECT_TRUE(isPlainName(name)) << name;
    }
    for (const char* name :
         {"", "a b", "a.b", "a/b", "a\\b", "😀", "a\tb", "a\xFF", "..", "a:b", "a*b"}) {
        EXPECT_FALSE(isPlainName(name)) << name;
    }
}

// A server folder that moves to the Windows build must not hold a folder or file that Windows
// cannot open: a resource named con, a texture named COM1.
TEST(IsPlainNameTest, DeviceNamesOfWindowsAreRefusedInAnyCase) {
    for (const char* name : {"CON", "con", "Con", "PRN", "aux", "NUL", "nUl", "COM1", "com5",
                             "COM9", "LPT1", "lpt9"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(isReservedDeviceName(name));
        EXPECT_FALSE(isPlainName(name));
    }
    for (const char* name : {"nul.png", "CON.tar.gz", "aux.", "com1.json", "con .txt"}) {
        EXPECT_TRUE(isReservedDeviceName(name)) << name;
    }
    for (const char* name : {"COM0", "LPT0", "COM10", "COM", "LPT", "CONSOLE", "NULL", "nul_",
                             "aux-1", "xcon", "comA", "Con2", "icon.png", ""}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(isReservedDeviceName(name));
    }
    EXPECT_TRUE(isPlainName("COM10"));
    EXPECT_TRUE(isPlainName("console"));
}

TEST(IsPlainNameTest, LimitIsFortyCharactersNotBytes) {
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "é";
    EXPECT_TRUE(isPlainName(forty));
    EXPECT_FALSE(isPlainName(forty + "a"));
    EXPECT_TRUE(isPlainName(std::string(40, 'a')));
    EXPECT_FALSE(isPlainName(std::string(41, 'a')));
}

}  // namespace bridge
