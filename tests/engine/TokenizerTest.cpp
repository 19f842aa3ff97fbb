#include "engine/UnitRK.h"
#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

using namespace UnitRK;

namespace {

std::vector<std::string> SplitAll(const std::string& s, const std::string& sep)
{
    TFields f = MakeFields();
    Split(s, sep, f, 15);
    std::vector<std::string> out(f.begin(), f.end());
    while (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

std::vector<std::string> Words(const std::string& line)
{
    TFields w = MakeFields();
    SplitWords(line, w, 15);
    std::vector<std::string> out(w.begin(), w.end());
    while (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(Split, CutsAtEverySeparatorAndAlwaysClosesTheLastField)
{
    EXPECT_EQ(SplitAll("abc", "//"), V{"abc"});
    EXPECT_EQ(SplitAll("x//y//z", "//"), (V{"x", "y", "z"}));
    EXPECT_EQ(SplitAll("//only", "//"), (V{"", "only"}));
    EXPECT_EQ(SplitAll("abc/", "//"), V{"abc"});  // "abc///": the stray "/" pairs with nothing

    // A separator at the very end gives a final empty field: "a", "" and nothing more.
    TFields f = MakeFields();
    f[5] = "stale";
    Split("a//", "//", f, 15);
    EXPECT_EQ(f[0], "a");
    EXPECT_EQ(f[1], "");
    EXPECT_EQ(f[5], "") << "every slot is cleared first";

    Split("", "@", f, 15);
    EXPECT_EQ(f[0], "");
}

TEST(Split, MatchesOnlyOnCharacterBoundaries)
{
    // 0x81 0x40 is the full-width space and 0x83 0x40 is ァ: their trail byte is "@".
    const std::string text = "\x83\x40"
                             "a@b";
    EXPECT_EQ(SplitAll(text, "@"), (V{"\x83\x40"
                                      "a",
                                      "b"}));
    EXPECT_EQ(SplitAll("\x81\x40\x81\x40", "@"), V{"\x81\x40\x81\x40"});
    // A lead byte right before a single-byte "@" pairs with it as one character.
    EXPECT_EQ(SplitAll("\x88@x", "@"), V{"\x88@x"});
    // ａ@ is 82 81 40: a full-width blank (81 40) seen from the middle of ａ, but ａ then "@".
    EXPECT_EQ(SplitAll("\x82\x81@lbl", "@"), (V{"\x82\x81", "lbl"}));
}

TEST(Split, ANulByteEndsTheText)
{
    TFields f = MakeFields();
    Split(std::string("a\0@b", 4), "@", f, 15);
    for (const std::string& field : f)
        EXPECT_EQ(field, "") << "no separator before the NUL: no field at all";
    Split(std::string("a@b\0@c", 6), "@", f, 15);
    EXPECT_EQ(f[0], "a");
    EXPECT_EQ(f[1], "") << "what follows the last separator before the NUL is never closed";
}

TEST(Split, SeventeenFieldsRaiseTheRangeErrorAfterStoringSixteen)
{
    TFields f = MakeFields();
    EXPECT_NO_THROW(Split(std::string(15, '@'), "@", f, 15));
    EXPECT_THROW(Split(std::string(16, '@') + "last", "@", f, 15), ERangeError);
    EXPECT_EQ(f[15], "");
    Split("a b c d e f g h i j k l m n o p", " ", f, 15);
    EXPECT_EQ(f[15], "p");
    EXPECT_THROW(Split("A B C D E F G H I J K L M N O P Q", " ", f, 15), ERangeError);
    EXPECT_EQ(f[0], "A") << "fields stored before the error stay stored";
    EXPECT_EQ(f[15], "P") << "fields stored before the error stay stored";
}

TEST(SplitWords, NormalisesEveryKindOfBlank)
{
    EXPECT_EQ(Words("\x81\x40#Cg\tpic.jpg  extra "), (V{"#Cg", "pic.jpg", "extra"}));
    EXPECT_EQ(Words("a     b"), (V{"a", "b"}));
    EXPECT_EQ(Words(""), V{});
    EXPECT_EQ(Words(" \t\x81\x40 "), V{});
    // Control bytes at the ends go too; inside they stay.
    EXPECT_EQ(Words("\x01x\x02y\x1F"), V{"x\x02y"});
    // ァ ends in 0x40 but is no full-width space; nor is ａ followed by "@" (82 81 40).
    EXPECT_EQ(Words("\x83\x40\x83\x40"), V{"\x83\x40\x83\x40"});
    EXPECT_EQ(Words("\x82\x81@b"), V{"\x82\x81@b"});
    // The test for adjacent blanks ends at a NUL byte as the replacing does, so blanks after it
    // never keep the loop going; and nothing after it becomes a word.
    EXPECT_EQ(Words(std::string("x\t\ty\0  \t z", 10)), V{"x"});
}

TEST(WordIs, IgnoresAsciiCaseOnly)
{
    TFields w = MakeFields();
    EXPECT_TRUE(WordIs("#end", "#End", w, 15));
    EXPECT_TRUE(WordIs("  #CG  a.jpg b", "#Cg", w, 15));
    EXPECT_EQ(w[1], "a.jpg");
    EXPECT_FALSE(WordIs(Sjis::FromUtf8("＃Ｅｎｄ"), "#End", w, 15));
    EXPECT_FALSE(WordIs("#Ending", "#End", w, 15));
    EXPECT_FALSE(WordIs("", "", w, 15)) << "an empty first word is never a command";
    EXPECT_THROW(WordIs("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17", "#End", w, 15), ERangeError);
}

TEST(LabelMarks, OnlyASingleByteAtSign)
{
    EXPECT_TRUE(IsLabelMark("@top", 1));
    EXPECT_FALSE(IsLabelMark("", 1));
    EXPECT_FALSE(IsLabelMark("@", 2));
    EXPECT_FALSE(IsLabelMark("@", 0));
    EXPECT_FALSE(IsLabelMark("\x83\x40", 2));
    EXPECT_TRUE(IsLabelMark("\x83\x40@", 3));
    EXPECT_TRUE(IsLabelMark("\x82\x81@", 3));
    EXPECT_TRUE(IsBreakLine(""));
    EXPECT_TRUE(IsBreakLine("@top"));
    EXPECT_FALSE(IsBreakLine(" @top"));
    EXPECT_FALSE(IsBreakLine("   "));
}
