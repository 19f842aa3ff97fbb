#include "platform/Cp932.h"
#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

// The player's own table must convert exactly as glibc's iconv does on the desktop, so a story
// reads the same in the page.

TEST(Cp932Table, DecodesEveryPairOfBytesAsIconvDoes)
{
    int differences = 0;
    for (int first = 0; first < 0x100; ++first) {
        for (int second = 0; second < 0x100; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            std::string expected, actual;
            bool expectedClean = Sjis::ToUtf8Exact(bytes, expected);
            expected = Sjis::ToUtf8(bytes);
            bool actualClean = Cp932::DecodeText(bytes, actual, "\xEF\xBF\xBD");
            if ((actual != expected || actualClean != expectedClean) && ++differences <= 5)
                ADD_FAILURE() << std::hex << first << " " << second << ": " << actual << " for " << expected;
        }
        std::string alone;
        Cp932::DecodeText(std::string(1, static_cast<char>(first)), alone, "\xEF\xBF\xBD");
        EXPECT_EQ(alone, Sjis::ToUtf8(std::string(1, static_cast<char>(first)))) << std::hex << first;
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Table, EncodesEveryCharacterAsIconvDoes)
{
    int differences = 0;
    for (char32_t c = 1; c < 0x11000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        std::string utf8;
        if (c < 0x80) {
            utf8 = std::string(1, static_cast<char>(c));
        } else if (c < 0x800) {
            utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        }
        std::string actual;
        Cp932::EncodeText(utf8, actual, "?");
        if (actual != Sjis::FromUtf8(utf8) && ++differences <= 5)
            ADD_FAILURE() << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Table, RefusesMalformedUtf8AsIconvDoes)
{
    for (const std::string text :
         {"a\xFF"
          "b",
          "\xC0\xAF", "\xE0\x80\x80x", "\xED\xA0\x80", "\xE3\x81", "\xF4\x90\x80\x80", "x\xE3\x81\x82\xC3"}) {
        std::vector<std::string> expectedRefused, actualRefused;
        std::string expected = Sjis::FromUtf8(text, "#", expectedRefused), actual;
        Cp932::EncodeText(text, actual, "#", &actualRefused);
        EXPECT_EQ(actual, expected) << text;
        EXPECT_EQ(actualRefused, expectedRefused) << text;
    }
}
