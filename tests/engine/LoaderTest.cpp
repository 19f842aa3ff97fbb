#include "EngineFixture.h"

#include <filesystem>

namespace fs = std::filesystem;

using namespace UnitRK;

namespace {

class LoaderTest : public EngineTest {
protected:
    bool Load() { return LoadScript(ScriptPath); }
    std::string Line(int i) const { return U(Rk.ScriptLines[i]); }
};

}  // namespace

TEST_F(LoaderTest, StripsCommentsAndReducesLabelLines)
{
    WriteScript({"こんにちは // greeting", "// only a comment", "   // note", "abc/", "  @top  the start",
                 "#Cg a.jpg // old b.jpg", "a/b", "\t@x"});
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "こんにちは ");
    EXPECT_EQ(Line(1), "");
    EXPECT_EQ(Line(2), "   ");
    EXPECT_EQ(Line(3), "abc");
    EXPECT_EQ(Line(4), "@top");
    EXPECT_EQ(Line(5), "#Cg a.jpg ");
    EXPECT_EQ(Line(6), "a/b");
    EXPECT_EQ(Line(7), "@x");
    EXPECT_EQ(Line(8), "#End");
    EXPECT_EQ(Rk.LineTotal, 9);
    EXPECT_EQ(Rk.CurLine, 0);
}

TEST_F(LoaderTest, ReadsLinesTheWayTheRuntimeDoes)
{
    WriteScriptBytes("one\r\ntwo\nthr\ree\r\nlast");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "one");
    EXPECT_EQ(Line(1), "two");
    EXPECT_EQ(Line(2), "three") << "a lone CR is dropped and ends nothing";
    EXPECT_EQ(Line(3), "last") << "the last line counts without a line end";
    EXPECT_EQ(Rk.LineTotal, 5);

    WriteScriptBytes("a\rb\rc");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "abc");
    EXPECT_EQ(Rk.LineTotal, 2);

    WriteScriptBytes("a\r\n\x1A"
                     "after\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 2) << "0x1A where a line begins ends the file";

    WriteScriptBytes("a\x1A"
                     "b\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "a\x1A"
                       "b")
        << "inside a line it is an ordinary byte";

    WriteScriptBytes("\xEF\xBB\xBF"
                     "x\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.ScriptLines[0], "\xEF\xBB\xBF"
                                 "x")
        << "no byte-order mark handling";

    WriteScriptBytes("x\n\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 3);
    EXPECT_EQ(Line(1), "");

    WriteScriptBytes(std::string("text\0more\r\nab//c\0d\r\n", 20));
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "") << "a NUL byte before any // leaves nothing of the line";
    EXPECT_TRUE(IsBreakLine(Rk.ScriptLines[0]));
    EXPECT_EQ(Line(1), "ab");
}

TEST_F(LoaderTest, EmptyFileAndLongLines)
{
    WriteScriptBytes("");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 1);
    EXPECT_EQ(Line(0), "#End");

    const std::string longLine(200000, 'x');
    WriteScriptBytes(longLine + "\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.ScriptLines[0], longLine);
}

TEST_F(LoaderTest, SlashRulersAndWordCountsHitTheFieldLimit)
{
    WriteScriptBytes(std::string(31, '/') + "\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "");

    Rk.CurLine = 1;
    WriteScriptBytes("first\r\n" + std::string(32, '/') + "\r\n");
    EXPECT_THROW(Load(), ERangeError);
    EXPECT_EQ(Rk.LineTotal, 2) << "a failed load keeps the old counts";
    EXPECT_EQ(Rk.CurLine, 1) << "a failed load keeps the old counts";
    EXPECT_EQ(Line(0), "") << "and the old script, not the lines read before the failing one";

    WriteScriptBytes("a b c d e f g h i j k l m n o p\r\n");
    EXPECT_NO_THROW(Load());
    WriteScriptBytes("a b c d e f g h i j k l m n o p q\r\n");
    EXPECT_THROW(Load(), ERangeError);
}

TEST_F(LoaderTest, HoldsAtMost9999Lines)
{
    std::string bytes;
    for (int i = 0; i < 9999; ++i)
        bytes += "line\r\n";
    WriteScriptBytes(bytes);
    ASSERT_TRUE(Load());
    EXPECT_EQ(Rk.LineTotal, 10000);
    EXPECT_EQ(Line(9999), "#End");

    WriteScriptBytes(bytes + "one too many\r\n");
    Rk.LineTotal = 0;
    Rk.CurLine = 7;
    EXPECT_THROW(Load(), ERangeError);
    EXPECT_EQ(Rk.LineTotal, 0);
    EXPECT_EQ(Rk.CurLine, 7);
}

TEST_F(LoaderTest, AReloadGoesOnFromTheSameLineAndAFailedOneKeepsTheOldScript)
{
    WriteScript({"A", "B", "C", "D"});
    ASSERT_TRUE(Start());
    Advance();
    EXPECT_EQ(Shown(), "A|B|");
    WriteScript({"a", "b", "c", "d"});
    ReloadScript();
    EXPECT_EQ(Shown(), "A|B|") << "what is on screen stays";
    Advance();
    EXPECT_EQ(Shown(), "A|B|c|");

    WriteScript({"x", std::string(32, '/')});
    EXPECT_THROW(ReloadScript(), ERangeError);
    EXPECT_EQ(Line(0), "a");
    fs::remove(fs::path(Folder->Path()) / "dat" / "1.txt");
    EXPECT_THROW(ReloadScript(), EInOutError);
    EXPECT_EQ(Rk.LineTotal, 5);
    Advance();
    EXPECT_EQ(Shown(), "d|");

    WriteScript({"only"});  // shorter than where the story is: it goes on at the closing #End
    ReloadScript();
    EXPECT_EQ(Rk.CurLine, 1);
    Advance();
    Pump();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_TRUE(Backend.Boxes.empty());
}

TEST_F(LoaderTest, MissingScriptSaysSoAndEnds)
{
    EXPECT_FALSE(Load());
    ASSERT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Text, "『dat\\1.txt』が見つかりません。終了します。");
    EXPECT_EQ(Backend.Boxes[0].Caption, "RK");
    EXPECT_FALSE(Application().Terminated()) << "the request only queues a quit message";
    Pump();
    EXPECT_TRUE(Application().Terminated());

    // A folder of that name is no script either.
    Application().Reset();
    Folder->Write("dat/1.txt/inner", "x");
    EXPECT_FALSE(Load());
}

TEST_F(LoaderTest, NamesWrittenInAnotherLetterCaseAreFound)
{
    Folder->Write("Dat/1.TXT", "hello\r\n");
    ASSERT_TRUE(Load());
    EXPECT_EQ(Line(0), "hello");
}
