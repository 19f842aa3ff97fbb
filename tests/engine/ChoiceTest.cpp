#include "EngineFixture.h"

using namespace UnitRK;

namespace {

class ChoiceTest : public EngineTest {
protected:
    std::vector<bool> VisibleChoices() const
    {
        std::vector<bool> v;
        for (auto& l : Choices)
            v.push_back(l->Visible);
        return v;
    }
    bool Inverted(int i) const
    {
        return Choices[static_cast<size_t>(i)]->Color == Colors::White &&
               Choices[static_cast<size_t>(i)]->Font.Color == Colors::Black;
    }
    bool Normal(int i) const
    {
        return Choices[static_cast<size_t>(i)]->Color == Colors::Black &&
               Choices[static_cast<size_t>(i)]->Font.Color == Colors::White;
    }
};

}  // namespace

TEST_F(ChoiceTest, TwoChoicesFormOneWideColumn)
{
    WriteScript({"問い", "はい@yes", "いいえ@no", "@yes", "YES", "#End", "@no", "NO"});
    ASSERT_TRUE(Start());
    Advance();
    EXPECT_TRUE(Rk.Choosing);
    EXPECT_EQ(Shown(), "") << "the menu clears the message window";
    EXPECT_EQ(VisibleChoices(), (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(ChoiceCaption(0), "はい");
    EXPECT_EQ(ChoiceCaption(1), "いいえ");
    EXPECT_EQ(Choices[0]->Width, 148);
    EXPECT_EQ(Choices[1]->Width, 148);
    EXPECT_EQ(Rk.CurLine, 3) << "past the last choice line";

    Advance();  // clicks on the picture or message area do nothing while choosing
    EXPECT_EQ(Rk.CurLine, 3);

    SelectChoice(1);
    EXPECT_FALSE(Rk.Choosing);
    EXPECT_TRUE(Rk.AutoNext);
    EXPECT_EQ(VisibleChoices(), std::vector<bool>(6, false));
    Tick();
    EXPECT_EQ(Shown(), "NO|");
}

TEST_F(ChoiceTest, ThreeChoicesStayInOneColumnAndTheFourthOpensTheSecond)
{
    WriteScript({"a@1", "b@2", "c@3", "text", "@1", "one"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(VisibleChoices(), (std::vector<bool>{true, true, true, false, false, false}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Choices[static_cast<size_t>(i)]->Width, 148);
    SelectChoice(0);
    Tick();
    EXPECT_EQ(Shown(), "one|");

    WriteScript({"a@1", "b@2", "c@3", "d@4", "@4", "four"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(VisibleChoices(), (std::vector<bool>{true, true, true, true, false, false}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Choices[static_cast<size_t>(i)]->Width, 72);
    EXPECT_EQ(ChoiceCaption(3), "d");
    EXPECT_EQ(Rk.ChoiceTargets[3], "@4");
    SelectChoice(3);
    EXPECT_EQ(Choices[0]->Width, 148) << "hiding the menu widens the left column again";
    Tick();
    EXPECT_EQ(Shown(), "four|");
}

TEST_F(ChoiceTest, AtMostSixChoicesMakeOneMenu)
{
    WriteScript({"1@a", "2@a", "3@a", "4@a", "5@a", "6@a", "7@b", "@a"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(VisibleChoices(), std::vector<bool>(6, true));
    EXPECT_EQ(Rk.CurLine, 6) << "the seventh line is not part of the menu";
}

TEST_F(ChoiceTest, TargetsAreTheFirstWordAfterTheAtSign)
{
    WriteScriptBytes("Go@ lbl extra\r\nGo@lbl@x\r\nGo@ \r\nGo\x81\x40@\x81\x40x\ty\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Rk.ChoiceTargets[0], "@lbl");
    EXPECT_EQ(Rk.ChoiceTargets[1], "@lbl");
    EXPECT_EQ(Rk.ChoiceTargets[2], "@");
    EXPECT_EQ(Rk.ChoiceTargets[3], "@x");
    EXPECT_EQ(Choices[3]->Caption, "Go\x81\x40") << "blanks in the caption are kept";
}

TEST_F(ChoiceTest, ALoneAtSignTargetJumpsToALoneAtSignLabel)
{
    WriteScript({"Go@ ", "@", "there"});
    ASSERT_TRUE(Start());
    SelectChoice(0);
    Tick();
    EXPECT_EQ(Shown(), "there|");
}

TEST_F(ChoiceTest, LinesThatAreNotChoices)
{
    // "Go@", "Go@@x": nothing after the "@"; ァ ends in the byte 0x40.
    Folder->Write("dat/1.txt", "Go@\r\nGo@@x\r\n\x83\x40\x83\x40\r\na@b\r\n");
    ASSERT_TRUE(Start());
    EXPECT_FALSE(Rk.Choosing);
    Advance();
    Advance();
    EXPECT_FALSE(Rk.Choosing);
    EXPECT_EQ(Rk.MsgLines, 3);
    Advance();
    EXPECT_TRUE(Rk.Choosing) << "a message line with a single-byte @ between two texts is a choice";
}

TEST_F(ChoiceTest, HighlightFollowsTheMouse)
{
    WriteScript({"1@a", "2@a", "3@a", "4@a", "5@a", "6@a"});
    ASSERT_TRUE(Start());
    HighlightChoice(2);
    EXPECT_TRUE(Inverted(2));
    HighlightChoice(5);
    EXPECT_TRUE(Normal(2));
    EXPECT_TRUE(Inverted(5));
    HighlightChoice(5);
    EXPECT_TRUE(Inverted(5));
    ClearHighlight();
    EXPECT_TRUE(Normal(5));
    EXPECT_EQ(Rk.HotChoice, -1);
    EXPECT_THROW(HighlightChoice(6), ERangeError);
    EXPECT_THROW(SelectChoice(-1), ERangeError);
    EXPECT_TRUE(Rk.Choosing) << "a bad index changes nothing";
}

TEST_F(ChoiceTest, AMissingTargetContinuesAfterTheMenu)
{
    WriteScript({"x@nowhere", "y@nowhere", "after"});
    ASSERT_TRUE(Start());
    SelectChoice(0);
    Tick();
    EXPECT_EQ(Shown(), "after|");
}

TEST_F(ChoiceTest, SixteenAtSignsFailAtEveryClick)
{
    const std::string bad = "m" + std::string(16, '@');
    // A menu whose second line fails: the first line's label is captioned but stays hidden.
    WriteScript({"ok@a", bad, "later"});
    EXPECT_THROW(Start(), ERangeError);
    EXPECT_EQ(Rk.CurLine, 1);
    EXPECT_EQ(ChoiceCaption(0), "ok");
    EXPECT_FALSE(Choices[0]->Visible);

    WriteScript({"start", bad, "later"});
    ASSERT_TRUE(Start());
    for (int i = 0; i < 3; ++i)
        Application().Guard([] { Advance(); });
    EXPECT_EQ(Backend.Boxes.size(), 3u);
    EXPECT_EQ(Rk.CurLine, 1);
    EXPECT_FALSE(Rk.Choosing);
}

TEST_F(ChoiceTest, ListenersHearEachShownLineAndMenuWithTheirScriptLines)
{
    std::vector<std::string> heard;
    Events.LineShown = [&](int64_t line) { heard.push_back("line " + std::to_string(line) + " " + Rk.MsgText); };
    Events.MenuShown = [&](int64_t first, int count) {
        heard.push_back("menu " + std::to_string(first) + " " + std::to_string(count));
    };
    WriteScript({"#Cg a.bmp", "one", "", "two", "x@1", "y@2", "@1", "#Stop", "@2"});
    ASSERT_TRUE(Start());
    Tick();
    Advance();
    Advance();
    EXPECT_EQ(heard, (std::vector<std::string>{"line 1 one\r\n", "line 3 two\r\n", "menu 4 2"}))
        << "commands and break lines are not heard";
}
