#include "bridge/json_write.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "bridge/text.h"

namespace bridge {

namespace {

// What a JSON parser reads back from the escaped text in quotes.
std::string roundTrip(const std::string& raw) {
    std::string quoted;
    appendJsonString(quoted, raw);
    return nlohmann::json::parse(quoted).get<std::string>();
}

}  // namespace

TEST(JsonEscapeTest, EscapesExactlyTheJsonSpecials) {
    EXPECT_EQ(jsonEscape("\t\n\r\"\\"), R"(\t\n\r\"\\)");
    EXPECT_EQ(jsonEscape("\x01"), "\\u0001");
    EXPECT_EQ(jsonEscape("\x1f"), "\\u001f");
    EXPECT_EQ(jsonEscape(std::string("a\0b", 3)), "a\\u0000b");
    EXPECT_EQ(jsonEscape("\b\f"), "\\u0008\\u000c");
    // The slash, DEL and well-formed non-ASCII text pass unchanged.
    EXPECT_EQ(jsonEscape("a/b\x7f é€😀"), "a/b\x7f é€😀");
    EXPECT_EQ(jsonEscape(""), "");
}

TEST(JsonEscapeTest, SpecialsFoundAtEveryPositionOfLongText) {
    // The escaper looks at sixteen bytes at a time, then eight, then one: a special in any
    // lane of each step, a character reaching across two steps, and one cut off by the end
    // of the text must all still be seen.
    constexpr std::size_t kLength = 40;
    for (const std::string special :
         {"\"", "\\", "\n", "\x1f", "\x80", "é", "€", "😀", "\xE2\x82", "\xF0\x9F\x98"}) {
        const bool illFormed =
            special == "\x80" || special == "\xE2\x82" || special == "\xF0\x9F\x98";
        for (std::size_t pos = 0; pos + special.size() <= kLength; ++pos) {
            std::string text(kLength, 'x');
            text.replace(pos, special.size(), special);
            SCOPED_TRACE(testing::Message() << "special " << jsonEscape(special) << " at " << pos);
            const std::string want = std::string(pos, 'x') + (illFormed ? "\uFFFD" : special) +
                                     std::string(kLength - pos - special.size(), 'x');
            EXPECT_EQ(roundTrip(text), want);
        }
    }
}

TEST(JsonEscapeTest, IllFormedBytesBecomeOneReplacementPerPart) {
    EXPECT_EQ(jsonEscape("a\xFF\x62"), "a\uFFFDb");
    // A cut-off three-byte sequence is one maximal part; a stray continuation byte is another.
    EXPECT_EQ(jsonEscape("\xE2\x82"
                         "x\xBF"),
              "\uFFFDx\uFFFD");
    // An encoded surrogate is three separate parts.
    EXPECT_EQ(jsonEscape("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");
}

TEST(JsonEscapeTest, AnyBytesGiveValidJsonThatReadsBackAsTheValidText) {
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        std::string quoted = "\"" + jsonEscape(bytes) + "\"";
        ASSERT_TRUE(nlohmann::json::accept(quoted)) << quoted;
    }
    // Valid text survives unchanged through escaping and parsing.
    std::string all;
    for (int c = 0; c < 0x80; ++c)
        all += static_cast<char>(c);
    all += "é€😀\U0010FFFF";
    EXPECT_EQ(roundTrip(all), all);
}

TEST(JsonEscapeTest, LongTextsOfAnyMixReadBackAsTheirRepairedText) {
    // Escapes are gathered in a block before they join the output, and long plain runs go
    // there directly: texts much longer than that block, with runs of every length between
    // the specials, must read back as exactly what fromUtf8 makes of their bytes.
    const std::vector<std::string> pieces = {"\"", "\\", "\n", "\x01", "é", "恐竜", "\xC3", "\xFF"};
    std::mt19937 random(2024);
    for (int round = 0; round < 20; ++round) {
        std::string bytes;
        while (bytes.size() < 40000) {
            bytes.append(random() % (round % 4 == 0 ? 400 : 12), 'a' + round % 26);
            bytes += pieces[random() % pieces.size()];
        }
        ASSERT_EQ(roundTrip(bytes), fromUtf8(bytes)) << "round " << round;
    }
}

TEST(IsJsonTextTest, AcceptsValidDocuments) {
    for (const char* text :
         {"0", "-0", "1.5e-3", "-12E+2", "true", "false", "null", R"("")",
          R"("a\"\\\/\b\f\n\r\t\u00e9\uD83D")", "[]", "{}", " \t\r\n[ 1 , [ ] , { } ] \n",
          R"({"a":{"b":[1,"x",null,true]},"c":""})", "\"é€😀\"", "[1,2,3]"}) {
        EXPECT_TRUE(isJsonText(text)) << text;
    }
}

TEST(IsJsonTextTest, RejectsInvalidDocuments) {
    auto rejects = [](std::initializer_list<const char*> texts) {
        for (const char* text : texts)
            EXPECT_FALSE(isJsonText(text)) << text;
    };
    // Not exactly one value.
    rejects({"", " ", "[1]x", "[1] [2]", "{} {}", "\f1"});
    // Numbers and literals outside the grammar.
    rejects({"01", "-01", "1.", ".5", "+1", "1e", "0x10", "-", "tru", "True", "NaN", "Infinity"});
    // Broken structure.
    rejects({"[1,]", "[,1]", "[1 2]", "{\"a\":1,}", "{\"a\"}", "{\"a\" 1}", "{\"a\":}", "{1:2}",
             "{'a':1}", "[", "]", "[1", "[1}", "{\"a\":1]"});
    // Bad strings: cut off, unknown escapes, raw control characters, ill-formed UTF-8.
    rejects({"\"abc", "\"\\x\"", "\"\\u12G4\"", "\"\\u12\"", "\"a\tb\"", "\"a\nb\"", "\"\x1f\"",
             "\"\xFF\"", "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xE2\x82\""});
    EXPECT_TRUE(isJsonText("\"\x7f\""));  // DEL is not a control character to JSON
}

TEST(IsJsonTextTest, DepthLimitIsExactAndDeepInputIsSafe) {
    auto nested = [](int depth, char open, const std::string& inner, char close) {
        return std::string(depth, open) + inner + std::string(depth, close);
    };
    EXPECT_TRUE(isJsonText(nested(256, '[', "", ']')));
    EXPECT_FALSE(isJsonText(nested(257, '[', "", ']')));
    EXPECT_TRUE(isJsonText(nested(3, '[', "1", ']'), 3));
    EXPECT_FALSE(isJsonText(nested(4, '[', "1", ']'), 3));
    EXPECT_TRUE(isJsonText("1", 0));
    std::string objects;
    for (int i = 0; i < 300; ++i)
        objects += "{\"a\":";
    objects += "1" + std::string(300, '}');
    EXPECT_FALSE(isJsonText(objects));
    EXPECT_TRUE(isJsonText(objects, 300));
    // Neither a million open brackets nor a million balanced ones may exhaust the stack.
    EXPECT_FALSE(isJsonText(std::string(1'000'000, '[')));
    EXPECT_TRUE(isJsonText(nested(1'000'000, '[', "", ']'), 1'000'000));
}

TEST(IsJsonTextTest, AgreesWithAFullParserOnMutatedDocuments) {
    // Small random edits of valid documents reach many odd corners; a full parser decides.
    // \u escapes are left out: the parser also checks surrogate pairing, which is not syntax.
    const std::vector<std::string> seeds = {
        R"({"name":"Wolf","list":[1,-2.5e3,true,false,null,{"x":[]}],"s":"a\"b\\c"})",
        R"([0,{"a":{}},[[1.0]],"é"," \t"])",
    };
    const std::string alphabet = "{}[]\",:.-+eE0123456789tfnrsalu\\ \t\n\x01\x7f\xC3\xA9\xFF";
    std::mt19937 random(777);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = seeds[random() % seeds.size()];
        for (int edits = 1 + random() % 3; edits > 0; --edits) {
            std::size_t pos = random() % (text.size() + 1);
            char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
                case 0:
                    text.insert(pos, 1, c);
                    break;
                case 1:
                    if (pos < text.size()) text.erase(pos, 1);
                    break;
                default:
                    if (pos < text.size()) text[pos] = c;
            }
        }
        if (text.find("\\u") != std::string::npos) continue;
        bool expected = nlohmann::json::accept(text);
        accepted += expected;
        ASSERT_EQ(isJsonText(text), expected) << text;
    }
    // The edits must leave a fair share of valid documents, or the comparison proves little.
    EXPECT_GT(accepted, 1000);
}

}  // namespace bridge
