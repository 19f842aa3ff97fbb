#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

TEST(ShiftJis, ConvertsTheExtensionsAndBackslash)
{
    EXPECT_EQ(Sjis::ToUtf8("\x87\x40"), "①");
    EXPECT_EQ(Sjis::ToUtf8("\x95\x5C"), "表");
    EXPECT_EQ(Sjis::ToUtf8("a\\b"), "a\\b");
}
