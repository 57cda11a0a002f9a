#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Each expected line follows from the splitting rules alone: outside quotes a blank or tab
// ends an argument; inside quotes 2n backslashes before a quote are n backslashes and the
// quote ends the quoting, 2n+1 are n backslashes and a literal quote; backslashes before
// anything else are literal. The program's name ends at the next quote when it begins with one.
TEST(JoinCommandLine, QuotesOnlyWhatTheSplitWouldOtherwiseChange) {
    struct Case {
        std::vector<std::string> argv;
        std::optional<std::string> line;
    };
    const Case cases[] = {
        {{"C:\\tools\\tar.exe", "-x", "-f", "a.zip"}, "C:\\tools\\tar.exe -x -f a.zip"},
        {{"C:\\Program Files\\t.exe", "a b"}, "\"C:\\Program Files\\t.exe\" \"a b\""},
        {{"C:\\dir with blank\\", "x"}, "\"C:\\dir with blank\\\" x"},
        {{"p", ""}, "p \"\""},
        {{"p", "", "", "x"}, "p \"\" \"\" x"},
        {{"p", "tab\there"}, "p \"tab\there\""},
        {{"p", "C:\\a\\b"}, "p C:\\a\\b"},
        {{"p", "C:\\a b\\"}, "p \"C:\\a b\\\\\""},
        {{"p", "a\\\\b c"}, "p \"a\\\\b c\""},
        {{"p", "say \"hi\""}, "p \"say \\\"hi\\\"\""},
        {{"p", "\""}, "p \"\\\"\""},
        {{"p", "\\\""}, "p \"\\\\\\\"\""},
        {{"p", "a\\\\\"b"}, "p \"a\\\\\\\\\\\"b\""},
        {{"p", "--name=\"x y\""}, "p \"--name=\\\"x y\\\"\""},
        {{"p", "&|<>^%!"}, "p &|<>^%!"},
        {{"p", "ünï cødé 日本"}, "p \"ünï cødé 日本\""},
        {{"p", "line\nbreak"}, "p line\nbreak"},
        {{}, std::nullopt},
        {{"C:\\odd\"name.exe"}, std::nullopt},
        {{"p", std::string("nul\0byte", 8)}, std::nullopt},
        {{""}, "\"\""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.argv)
            shown += "[" + a + "]";
        EXPECT_EQ(platform::joinCommandLine(c.argv), c.line) << shown;
    }
}

}  // namespace
