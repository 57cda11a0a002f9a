#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <string>

TEST(HasControlCharacterTest, AnyC0ButTabAndDel) {
    EXPECT_FALSE(platform::hasControlCharacter("plain text\twith tab é"));
    EXPECT_TRUE(platform::hasControlCharacter("line\nbreak"));
    EXPECT_TRUE(platform::hasControlCharacter("cr\r"));
    EXPECT_TRUE(platform::hasControlCharacter(std::string("nul\0", 4)));
    EXPECT_TRUE(platform::hasControlCharacter("del\x7f"));
    EXPECT_TRUE(platform::hasControlCharacter("\x1f"));
}
