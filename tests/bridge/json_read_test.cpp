#include "bridge/json_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace bridge {

using Strings = std::vector<std::string>;

// The readers find the first string equal to the key, at any depth, so these cases pin down
// exactly which value each one lands on; the page and the build service replies depend on it.
TEST(JsonStringTest, QuotesAndBackslashesAreEscaped) {
    EXPECT_EQ(jsonString(R"({"cmd":"a","name":"x\"y"})", "name"), "x\"y");
    // A backslash that ends the text is kept.
    EXPECT_EQ(jsonString(R"({"t":"ab\)", "t"), "ab\\");
}

// Scripts escape what they send (Python's json.dumps escapes every non-ASCII letter), so a
// reader that took `\n` for the letter n saved `a\u000ab` as au000ab and let a tab pass the
// control-character checks as the letter t.
TEST(JsonStringTest, DecodesEscapesAsJsonDefinesThem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(a\nb)", "a\nb"},
        {R"(a\u000ab)", "a\nb"},
        {R"(a\tb\rc\bd\fe)", "a\tb\rc\bd\fe"},
        {R"(a\\b\/c\u00e9)", "a\\b/c\u00e9"},
        {R"(\u65e5\u672C)", "日本"},
        {R"(\ud83d\ude00!)", "😀!"},
        {R"(\ud83dx\ude00)", "\uFFFDx\uFFFD"},
        {R"(a\u0000b)", std::string("a\0b", 3)},
    };
    for (const auto& [escaped, decoded] : cases) {
        SCOPED_TRACE(escaped);
        EXPECT_EQ(jsonString(R"({"t":")" + escaped + R"("})", "t"), decoded);
    }
    EXPECT_EQ(jsonStringArray(R"({"f":["a\bb\fc"]})", "f"), (Strings{"a\bb\fc"}));
}

// A value that looks like a key once its own quotes are forgotten must never be taken for one.
TEST(JsonKeyTest, NeverFoundInsideAStringValue) {
    const std::string cfg =
        R"({"cmd":"saveCfg","sv_hostname":"\"sv_map","sv_maxplayers":"8","sv_map":"Gateway"})";
    EXPECT_EQ(jsonString(cfg, "sv_map"), "Gateway");
    EXPECT_EQ(jsonString(cfg, "sv_hostname"), "\"sv_map");
    EXPECT_FALSE(jsonHasKey(R"({"sv_hostname":"\"sv_map"})", "sv_map"));
    EXPECT_FALSE(jsonBool(R"({"t":"\"enabled\":true"})", "enabled"));
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"t":"x\"n\":5","n":7})", "n", 0), 7);
    EXPECT_EQ(jsonStringArray(R"({"t":"\"f\":[\"evil\"]","f":["good"]})", "f"), (Strings{"good"}));
    // Nor is the text between two strings, and an escaped backslash does close a string.
    EXPECT_FALSE(jsonHasKey(R"({"a":"x","y":1})", ","));
    EXPECT_EQ(jsonString(R"({"a":"x\\","name":"n"})", "name"), "n");
}

TEST(JsonKeyTest, KeysOfNestedObjectsStillCount) {
    EXPECT_EQ(jsonString(R"({"job":{"state":"done"}})", "state"), "done");
    EXPECT_EQ(jsonString(R"({"jobs":[{"id":"a1"},{"id":"b2"}]})", "id"), "a1");
    EXPECT_TRUE(jsonBool(R"({"a":[1,{"b":{"ok":true}}]})", "ok"));
    EXPECT_TRUE(jsonHasKey(R"({"x" "y", "z":1})", "x"));
    // Unbalanced text is still searched.
    EXPECT_EQ(jsonString(R"(]]}"name":"n")", "name"), "n");
}

TEST(JsonStringTest, FollowsTheFirstMatchAndTheNextQuote) {
    // The first "a" is b's value; the colon after it belongs to the real key.
    EXPECT_EQ(jsonString(R"({"b":"a","a":"z"})", "a"), "z");
    // A value that is not a string yields the next quoted text.
    EXPECT_EQ(jsonString(R"({"x":5,"y":"w"})", "x"), "y");
    EXPECT_EQ(jsonString(R"({"name" : "spaced"})", "name"), "spaced");
    // Keys are matched case-sensitively.
    EXPECT_EQ(jsonString(R"({"Name":"A","name":"b"})", "name"), "b");
}

TEST(JsonStringTest, EmptyCutOffAndMissing) {
    EXPECT_EQ(jsonString(R"({"name":""})", "name"), "");
    EXPECT_EQ(jsonString(R"({"name":"abc)", "name"), "abc");
    EXPECT_EQ(jsonString(R"({"other":"abc"})", "name"), "");
    EXPECT_EQ(jsonString(R"({"name")", "name"), "");         // the key ends the text
    EXPECT_EQ(jsonString(R"({"name" "abc"})", "name"), "");  // no colon at all
    EXPECT_EQ(jsonString(R"({"name":5})", "name"), "");      // no quote after the colon
    EXPECT_EQ(jsonString("", "name"), "");
}

TEST(JsonBoolTest, OnlyTrueRightAfterTheColon) {
    EXPECT_TRUE(jsonBool(R"({"enabled":true})", "enabled"));
    EXPECT_TRUE(jsonBool(R"({"enabled" :true})", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"enabled": true})", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"enabled":"true"})", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"enabled":1})", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"enabled":false})", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"enabled":tru)", "enabled"));
    EXPECT_FALSE(jsonBool(R"({"other":true})", "enabled"));
}

TEST(JsonNumberTest, ReadsWhatStrtodReads) {
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"progress": 0.5})", "progress", -1), 0.5);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"n":-12.5e2,"m":1})", "n", 0), -1250);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"n":0x10})", "n", 0), 16);
    EXPECT_DOUBLE_EQ(jsonNumber("{\"n\":\n\t7}", "n", 0), 7);
    EXPECT_TRUE(std::isinf(jsonNumber(R"({"n":inf})", "n", 0)));
    EXPECT_TRUE(std::isnan(jsonNumber(R"({"n":nan})", "n", 0)));
    // A number at the very end of the text, with nothing after it.
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"n":42)", "n", 0), 42);
}

TEST(JsonNumberTest, FallbackWhenNoNumberFollows) {
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"progress":"0.5"})", "progress", -1), -1);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"progress":null})", "progress", -1), -1);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"progress":})", "progress", -1), -1);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"other":3})", "progress", -1), -1);
    EXPECT_DOUBLE_EQ(jsonNumber(R"({"progress":   )", "progress", -1), -1);
}

TEST(JsonStringArrayTest, DecodesTheEscapesItKnows) {
    EXPECT_EQ(jsonStringArray(R"({"files":["a\\b","c\u0041"]})", "files"), (Strings{"a\\b", "cA"}));
    EXPECT_EQ(jsonStringArray(R"({"f":["1\n2\t3\r4\"5\/6\q"]})", "f"),
              (Strings{"1\n2\t3\r4\"5/6q"}));
    EXPECT_EQ(jsonStringArray(R"({"f":["\u00e9\u20AC"]})", "f"), (Strings{"é€"}));
    // \u0000 is a real NUL character.
    EXPECT_EQ(jsonStringArray(R"({"f":["a\u0000b"]})", "f"), (Strings{std::string("a\0b", 3)}));
}

TEST(JsonStringArrayTest, HexDigitsAreReadTheStrtolWay) {
    // Reading stops at the first non-hex character of the four; none at all gives 0.
    EXPECT_EQ(jsonStringArray(R"({"f":["\u41zzB"]})", "f"), (Strings{"AB"}));
    EXPECT_EQ(jsonStringArray(R"({"f":["\u0x41"]})", "f"), (Strings{"A"}));
    EXPECT_EQ(jsonStringArray(R"({"f":["\uzzzzB"]})", "f"), (Strings{std::string("\0B", 2)}));
    // Fewer than four characters left: the letter u is taken as is.
    EXPECT_EQ(jsonStringArray(R"({"f":["\u414)", "f"), (Strings{"u414"}));
    // Found by fuzzing: the four characters of a broken escape never end inside a character.
    EXPECT_EQ(jsonString(R"({"t":"\uAAé!"})", "t"), "uAAé!");
    EXPECT_EQ(jsonStringArray(R"({"f":["\u0é"]})", "f"), (Strings{"u0é"}));
}

TEST(JsonStringArrayTest, SurrogatesPairOrBecomeReplacement) {
    EXPECT_EQ(jsonStringArray(R"({"f":["\ud83d\ude00"]})", "f"), (Strings{"😀"}));
    EXPECT_EQ(jsonStringArray(R"({"f":["\ud83dx","\ude00","\ud83d\u0041"]})", "f"),
              (Strings{"\uFFFDx", "\uFFFD", "\uFFFDA"}));
    // Two high surrogates and then a low one: only the second pairs.
    EXPECT_EQ(jsonStringArray(R"({"f":["\ud83d\ud83d\ude00"]})", "f"), (Strings{"\uFFFD😀"}));
    // A high surrogate at the end of the element.
    EXPECT_EQ(jsonStringArray(R"({"f":["a\ud83d"]})", "f"), (Strings{"a\uFFFD"}));
}

TEST(JsonStringArrayTest, WalkRules) {
    EXPECT_TRUE(jsonStringArray(R"({"files":[]})", "files").empty());
    EXPECT_TRUE(jsonStringArray(R"({"other":["a"]})", "files").empty());
    EXPECT_TRUE(jsonStringArray(R"({"files":"a"})", "files").empty());
    // The first ']' anywhere ends the list, also that of a nested array.
    EXPECT_EQ(jsonStringArray(R"({"x":[["a"],"b"]})", "x"), (Strings{"a"}));
    // Keys and values of nested objects are collected alike; numbers are skipped.
    EXPECT_EQ(jsonStringArray(R"({"x":[{"k":"v"}, 3, "w"]})", "x"), (Strings{"k", "v", "w"}));
    // No colon is needed: the first bracket after the key counts, even a later member's.
    EXPECT_EQ(jsonStringArray(R"({"x" "y", "z":["q"]})", "x"), (Strings{"q"}));
    // Cut-off text yields what was read.
    EXPECT_EQ(jsonStringArray(R"({"x":["a","b)", "x"), (Strings{"a", "b"}));
}

TEST(JsonStringArrayTest, ResultIsAlwaysValidUtf8) {
    // Raw ill-formed bytes inside an element come back replaced.
    EXPECT_EQ(jsonStringArray("{\"f\":[\"a\xFF\x62\"]}", "f"), (Strings{"a\uFFFDb"}));
}

}  // namespace bridge
