#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

TEST(ShiftJis, ConvertsCodePage932ForDisplay)
{
    EXPECT_EQ(Sjis::ToUtf8("\x87\x40"), "①");  // NEC extension
    EXPECT_EQ(Sjis::ToUtf8("\xFA\x40"), "ⅰ");  // IBM extension
    EXPECT_EQ(Sjis::ToUtf8("\x95\x5C\x83\x5C"), "表ソ");
    EXPECT_EQ(Sjis::ToUtf8("a\\b~"), "a\\b~");
    EXPECT_EQ(Sjis::FromUtf8("セーブ ０"), "\x83\x5A\x81\x5B\x83\x75\x20\x82\x4F");
}

TEST(ShiftJis, BytesThatDoNotConvertBecomeReplacementCharacters)
{
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(Sjis::ToUtf8("a\x80"
                           "b"),
              "a" + bad + "b");
    EXPECT_EQ(Sjis::ToUtf8("\x88"), bad) << "a lead byte at the end";
    EXPECT_EQ(Sjis::ToUtf8("\x88 x"), bad + " x");
    EXPECT_EQ(Sjis::ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Sjis::FromUtf8("\xFF"
                             "a"),
              "?a");
    EXPECT_EQ(Sjis::FromUtf8("x😀y"), "x?y") << "one mark for a character with no Shift-JIS form";
}

TEST(ShiftJis, CutsOnlyBetweenCharacters)
{
    const std::string text = "a\x82\xA0\x82\xA2";  // a あ い
    EXPECT_EQ(Sjis::CutAtChar(text, 5), text);
    EXPECT_EQ(Sjis::CutAtChar(text, 4), "a\x82\xA0");
    EXPECT_EQ(Sjis::CutAtChar(text, 2), "a");
    EXPECT_EQ(Sjis::CutAtChar(text, 0), "");
}
