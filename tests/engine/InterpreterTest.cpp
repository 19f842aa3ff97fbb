#include "EngineFixture.h"

using namespace UnitRK;

TEST_F(EngineTest, MessageLinesFillThreeLinePages)
{
    WriteScript({"一", "二", "三", "四"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Shown(), "一|");
    Advance();
    Advance();
    EXPECT_EQ(Shown(), "一|二|三|");
    Advance();
    EXPECT_EQ(Shown(), "四|");
    EXPECT_EQ(Rk.MsgLines, 1);
}

TEST_F(EngineTest, BreakLinesClearThePageAndAreSkippedInTheSameStep)
{
    WriteScript({"A", "", "@lbl", "", "B", "   ", "C", "@x", "D"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Shown(), "A|");
    Advance();
    EXPECT_EQ(Shown(), "B|");
    Advance();
    EXPECT_EQ(Shown(), "B|   |") << "a line of blanks is a message line, not a break";
    Advance();
    Advance();
    EXPECT_EQ(Shown(), "D|");
}

TEST_F(EngineTest, RunningPastTheEndTerminates)
{
    WriteScript({"only"});
    ASSERT_TRUE(Start());
    Advance();  // the loader's closing #End
    Pump();
    EXPECT_TRUE(Application().Terminated());

    // A current line past the table (as a slot from a longer script can leave it) ends too.
    Application().Reset();
    Rk.CurLine = Rk.LineTotal + 5;
    Advance();
    Pump();
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(EngineTest, CommandsCallTheirUnitsAndContinueByThemselves)
{
    WriteScript({"#cg pic.jpg", "#MIDI bgm.mid extra", "#Wave hit.wav", "#Wave", "#Midi", "#Cg", "after"});
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Rk.AutoNext);
    EXPECT_TRUE(Image1.Visible);
    EXPECT_EQ(Image1.Left, 28);
    EXPECT_EQ(Image1.Top, 23);
    Advance();  // a click while a step is pending does nothing
    EXPECT_EQ(Rk.CurLine, 1);
    for (int i = 0; i < 6; ++i)
        Tick();
    EXPECT_EQ((std::vector<std::string>{"LoadPictureFile dat\\pic.jpg", "MidiPlay dat\\bgm.mid loop",
                                        "WavePlay dat\\hit.wav", "WaveStop", "MidiClose"}),
              Calls);
    EXPECT_FALSE(Image1.Visible) << "#Cg alone hides the picture";
    EXPECT_EQ(Rk.CgName, "");
    EXPECT_EQ(Rk.MidiName, "");
    EXPECT_EQ(Shown(), "after|") << "the line after a run of commands comes without a click";
    EXPECT_FALSE(Rk.AutoNext);
}

TEST_F(EngineTest, PicturesAreCentredAndKeptWhenTheNextIsMissing)
{
    struct Case {
        int W, H, Left, Top;
    };
    for (Case c : {Case{156, 96, 0, 0}, Case{100, 50, 28, 23}, Case{157, 97, 0, 0}, Case{200, 120, -22, -12}}) {
        Services.LoadPictureFile = [c](TImage& image, const std::string&) {
            image.SetPicture(std::make_shared<TBitmapGraphic>(
                TRgbImage{c.W, c.H, std::vector<uint32_t>(static_cast<size_t>(c.W * c.H))}));
        };
        WriteScript({"#Cg p.jpg"});
        ASSERT_TRUE(Start());
        EXPECT_EQ(Image1.Left, c.Left) << c.W << "x" << c.H;
        EXPECT_EQ(Image1.Top, c.Top) << c.W << "x" << c.H;
    }

    // A missing file loads nothing: the picture shown before is shown again, centred anew.
    Services.LoadPictureFile = [](TImage& image, const std::string& path) {
        if (path == "dat\\p.jpg")
            image.SetPicture(std::make_shared<TBitmapGraphic>(TRgbImage{100, 50, std::vector<uint32_t>(5000)}));
    };
    WriteScript({"#Cg p.jpg", "#Cg", "#Cg gone.jpg"});
    ASSERT_TRUE(Start());
    auto shown = Image1.Picture();
    Image1.Left = Image1.Top = 0;
    Tick();
    EXPECT_FALSE(Image1.Visible);
    Tick();
    EXPECT_TRUE(Image1.Visible);
    EXPECT_EQ(Image1.Picture(), shown);
    EXPECT_EQ(Image1.Left, 28);
    EXPECT_EQ(Image1.Top, 23);
    EXPECT_EQ(Rk.CgName, "gone.jpg");
}

TEST_F(EngineTest, GotoSearchesForwardThenWrapsAround)
{
    WriteScript({"@x", "first", "#goto @y", "skipped", "@y", "second", "#Goto @x", "never"});
    ASSERT_TRUE(Start());
    EXPECT_EQ(Shown(), "first|");
    Advance();
    Tick();
    EXPECT_EQ(Shown(), "first|second|") << "the jump lands after the label line, which clears nothing";
    Advance();
    Tick();
    EXPECT_EQ(Shown(), "first|second|first|") << "a label before the current line is found by wrapping round";
}

TEST_F(EngineTest, GotoPrefersTheFirstLabelAfterTheCurrentLine)
{
    WriteScript({"@a", "#Goto @a", "@a", "B", "@a", "C"});
    ASSERT_TRUE(Start());
    Tick();
    EXPECT_EQ(Shown(), "B|");
}

TEST_F(EngineTest, AStoryStartedAtALabelGoesOnAfterItWithThePictureAndMusicGiven)
{
    WriteScript({"A", "@x", "", "B", "C"});
    ASSERT_TRUE(BindAndLoad());
    StartAt(1, "p.jpg", "bgm.mid");
    EXPECT_EQ(Shown(), "B|");
    EXPECT_TRUE(Image1.Visible);
    EXPECT_EQ(Rk.CgName, "p.jpg");
    EXPECT_EQ(Rk.MidiName, "bgm.mid");
    EXPECT_EQ(Calls, (std::vector<std::string>{"LoadPictureFile dat\\p.jpg", "MidiPlay dat\\bgm.mid loop"}));
}

TEST_F(EngineTest, GotoNeverExaminesTheCurrentLineAndWrapsToTheFirstMatch)
{
    WriteScript({"@a", "A", "@a", "B", "#Goto @a"});
    ASSERT_TRUE(Start());
    Rk.CurLine = 2;
    GotoLabel("@a");
    EXPECT_EQ(Rk.CurLine, 0) << "the label on the current line is not the one found";
    Rk.CurLine = 4;
    GotoLabel("@a");
    EXPECT_EQ(Rk.CurLine, 0) << "wrapping round, the first match from the top wins";
}

TEST_F(EngineTest, GotoWithoutAtSignOrUnknownLabelGoesOn)
{
    WriteScript({"#Goto x", "next", "#Goto @nowhere", "after", "#Goto", "end"});
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Rk.AutoNext);
    Tick();
    EXPECT_EQ(Shown(), "next|");
    Advance();
    Tick();
    EXPECT_EQ(Shown(), "next|after|");
    Advance();
    Tick();
    EXPECT_EQ(Shown(), "next|after|end|");
}

TEST_F(EngineTest, StopHaltsUntilALoad)
{
    WriteScript({"A", "#Stop", "B"});
    ASSERT_TRUE(Start());
    Advance();
    EXPECT_TRUE(Rk.Stopped);
    EXPECT_FALSE(Rk.AutoNext);
    for (int i = 0; i < 5; ++i) {
        Advance();
        Tick();
    }
    EXPECT_EQ(Shown(), "A|");
    EXPECT_EQ(Rk.CurLine, 2);
}

TEST_F(EngineTest, EndTerminatesInTheSamePass)
{
    WriteScript({"#end", "never"});
    ASSERT_TRUE(Start());
    EXPECT_FALSE(Rk.AutoNext);
    Pump();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_EQ(Shown(), "");
}

// A step that fails is reported once; the story waits on that line for a click that retries it.
TEST_F(EngineTest, AFailingStepWaitsForAClickInsteadOfRepeating)
{
    int failures = 0;
    Services.LoadPictureFile = [&](TImage&, const std::string&) {
        ++failures;
        throw EInvalidGraphic("bad");
    };
    WriteScript({"A", "#Cg broken.jpg", "B"});
    ASSERT_TRUE(Start());

    Application().Guard([] { Advance(); });  // as a click would
    EXPECT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Text, "bad.");
    EXPECT_EQ(Backend.Boxes[0].Caption, "zv_rk");
    EXPECT_EQ(Backend.Boxes[0].Icon, TMessageIcon::Stop);
    EXPECT_EQ(Rk.CurLine, 1);
    EXPECT_FALSE(Rk.AutoNext);
    EXPECT_FALSE(Image1.Visible);
    for (int i = 0; i < 5; ++i)
        Application().Guard([] { AutoTick(); });
    EXPECT_EQ(failures, 1) << "the timer does not repeat a failed step";

    Services.LoadPictureFile = [](TImage&, const std::string&) {};
    Application().Guard([] { Advance(); });  // the click retries
    Tick();
    EXPECT_EQ(Shown(), "A|B|");
    EXPECT_EQ(Backend.Boxes.size(), 1u);
}

TEST_F(EngineTest, AFailingStepStartedByTheTimerIsNotRepeatedEither)
{
    WriteScript({"#Goto @a", "@a", "x" + std::string(16, '@'), "B"});
    ASSERT_TRUE(Start());
    for (int i = 0; i < 3; ++i)
        Application().Guard([] { AutoTick(); });
    EXPECT_EQ(Backend.Boxes.size(), 1u);
    EXPECT_EQ(Backend.Boxes[0].Text, "範囲チェックエラー.");
    EXPECT_EQ(Rk.CurLine, 2);
    Application().Guard([] { Advance(); });
    EXPECT_EQ(Backend.Boxes.size(), 2u) << "every click tries the line again";
    EXPECT_EQ(Rk.CurLine, 2);
}
