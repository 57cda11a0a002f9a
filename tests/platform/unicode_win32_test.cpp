// UTF-8 and UTF-16 at the Windows API boundary: every text crosses it whatever it holds.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/win32/wide.h"

using platform::win32::fromWide;
using platform::win32::toWide;

namespace {

struct Conversion {
    const char* name;
    std::string utf8;
    std::wstring utf16;
};

}  // namespace

TEST(WideTextTest, ValidTextCrossesBothWaysUnchanged) {
    const Conversion cases[] = {
        {"empty", "", L""},
        {"ascii", "server.cfg", L"server.cfg"},
        {"two-byte", "w\xC3\xB6lf", L"w\u00F6lf"},
        {"three-byte", "\xE7\x8B\xBC", L"\u72FC"},
        {"four-byte, a surrogate pair", "\xF0\x9F\x90\xBA", L"\U0001F43A"},
        {"embedded zero", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toWide(c.utf8), c.utf16);
        EXPECT_EQ(fromWide(c.utf16), c.utf8);
    }
}

TEST(WideTextTest, InvalidUtf8BecomesReplacementCharacters) {
    const std::pair<const char*, std::string> cases[] = {
        {"stray continuation byte", "a\x80z"},
        {"byte never used", "a\xFFz"},
        {"cut-off sequence at the end", "a\xE7\x8B"},
        {"encoded surrogate", "a\xED\xA0\x80z"},
        {"overlong slash", "a\xC0\xAFz"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::wstring wide = toWide(bytes);
        EXPECT_EQ(wide.front(), L'a');
        EXPECT_NE(wide.find(L'\uFFFD'), std::wstring::npos);
        // Whatever the exact count of replacements, nothing of the bad bytes survives.
        for (wchar_t unit : wide)
            EXPECT_TRUE(unit == L'a' || unit == L'z' || unit == L'\uFFFD') << int(unit);
    }
}

TEST(WideTextTest, LoneSurrogatesBecomeReplacementCharacters) {
    const wchar_t high[] = {L'x', 0xD800, L'y'};
    const wchar_t low[] = {L'x', 0xDC00, L'y'};
    const wchar_t atEnd[] = {L'x', 0xD83D};
    const wchar_t reversed[] = {0xDC3A, 0xD83D};
    EXPECT_EQ(fromWide(std::wstring_view(high, 3)), "x\xEF\xBF\xBDy");
    EXPECT_EQ(fromWide(std::wstring_view(low, 3)), "x\xEF\xBF\xBDy");
    EXPECT_EQ(fromWide(std::wstring_view(atEnd, 2)), "x\xEF\xBF\xBD");
    EXPECT_EQ(fromWide(std::wstring_view(reversed, 2)), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(WidePathTest, ShortPathsStayAsWrittenAndLongOnesGetThePrefix) {
    EXPECT_EQ(platform::win32::widePath("C:/a/../b"), L"C:/a/../b");
    std::string deep = "C:\\Servers";
    while (deep.size() < 300)
        deep += "\\level";
    const std::wstring wide = platform::win32::widePath(deep + "/./x/../file.cfg");
    // The system no longer tidies a prefixed path, so it must come tidied.
    EXPECT_TRUE(wide.starts_with(L"\\\\?\\C:\\Servers\\level\\")) << fromWide(wide);
    EXPECT_TRUE(wide.ends_with(L"\\level\\file.cfg")) << fromWide(wide);
    EXPECT_EQ(wide.find(L'/'), std::wstring::npos);
    EXPECT_EQ(wide.find(L"\\.\\"), std::wstring::npos);
    EXPECT_TRUE(platform::win32::widePath("\\\\server\\share" + deep.substr(2))
                    .starts_with(L"\\\\?\\UNC\\server\\share\\Servers\\"));
}
