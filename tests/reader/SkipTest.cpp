// Skipping what was read and auto play, through the real window with the main loop on a clock of
// the test's own.
#include "UiFixture.h"

#include "engine/UnitRK.h"
#include "reader/Pacer.h"
#include "reader/Reader.h"
#include "timing/MyTime.h"
#include "ui/Settings.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

// Client positions: the picture, the first choice, the data menu's Save 0 button.
constexpr int PictureX = 60, PictureY = 40, ChoiceX = 40, ChoiceY = 104, SaveX = 20, SaveY = 40;

class SkipTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        char pattern[] = "/tmp/rk-state-XXXXXX";
        State = mkdtemp(pattern);
        UseClock();
    }
    void TearDown() override
    {
        if (Form)
            Form->ReaderInput = nullptr;
        Reader.reset();
        Pacer.reset();
        UiTest::TearDown();
        fs::remove_all(State);
    }
    // The main loop's clock, which moves 10 ms at every reading while Run runs.
    void UseClock()
    {
        MyTime::SetClock([this] {
            if (Running) {
                Now += 10;
                if (Each)
                    Each(Now);
                if (Now >= Until && !Application().Terminated())
                    Application().Terminate();
            }
            return Now;
        });
    }
    // Opens the window with the reader bound, as the program does.
    void OpenReading(TPaceSettings settings = {})
    {
        FormMade = [this, settings] {
            Pacer = std::make_unique<TPacer>(*Form, settings, State, [this] {
                if (Reader)
                    Reader->ShowTitle();
            });
        };
        Open();
        Reader = std::make_unique<TReader>(*Form, Form->Page1, Form->PanelText, *Backend, TReaderOptions{});
        Reader->AutoPlaying = [this] { return Pacer->AutoPlaying(); };
        Pacer->LookingBack = [this] { return Reader->LookBack().Back() > 0; };
        Form->ReaderInput = [this](int key, bool repeat) { return Reader->Input(key, repeat); };
    }
    // The same story again in a new folder, for a new window and engine: the next run of a copy.
    void Restart(const std::vector<std::string>& script)
    {
        if (Form)
            Form->ReaderInput = nullptr;
        Reader.reset();
        Pacer.reset();
        UiTest::TearDown();
        UiTest::SetUp();
        UseClock();
        WriteScript(script);
    }
    // Runs the main loop for `ms` of the test's clock, calling `each` at every reading.
    void Run(uint32_t ms, std::function<void(uint32_t now)> each = nullptr)
    {
        Each = std::move(each);
        Until = Now + ms;
        Running = true;
        MyTime::LoopRunning = false;
        MyTime::MainLoop();
        Running = false;
        Each = nullptr;
        Application().Reset();
        Application().Title = "zv_rk";
    }
    std::string SaveSlot0()
    {
        Click(PictureX, PictureY, SDL_BUTTON_RIGHT);
        Click(SaveX, SaveY);
        std::ifstream in(Dir + "/save0.dat", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string State;
    std::unique_ptr<TPacer> Pacer;
    std::unique_ptr<TReader> Reader;
    uint32_t Now = 1000, Until = 0;
    bool Running = false;
    std::function<void(uint32_t)> Each;
};

const std::vector<std::string> Seven = {"一", "二", "三", "四", "五", "六", "七"};

}  // namespace

// What was seen in one run of a story is skipped in the next run of a copy of it, up to the first
// line not seen, where skipping stops and stays stopped.
TEST_F(SkipTest, TabSkipsWhatWasSeenInAnEarlierRunAndStopsAtTheFirstUnseenLine)
{
    WriteScript(Seven);
    OpenReading();
    Click(PictureX, PictureY);
    Click(PictureX, PictureY);
    ASSERT_EQ(MessageText(), "一|二|三|");

    Restart(Seven);
    OpenReading();
    ASSERT_EQ(MessageText(), "一|");
    Tap(SDLK_TAB);
    Run(1000);
    EXPECT_EQ(MessageText(), "四|");
    EXPECT_FALSE(Pacer->Skipping());
    // Skipping stepped every 50 ms or so, not all at once, and no faster than that.
    Restart(Seven);
    OpenReading();
    Tap(SDLK_TAB);
    Run(100);
    EXPECT_EQ(MessageText(), "一|二|");
}

// Ctrl held alone skips to a menu and stops there; the choice taken with Ctrl still down does not
// start it again, a new press of Ctrl does, up to the story's stop. Without SkipUnseen nothing
// unseen would be passed.
TEST_F(SkipTest, HeldCtrlStopsAtAMenuAndAtTheStopAndSkipsAgainOnlyWhenPressedAgain)
{
    const std::vector<std::string> script = {"一", "二", "三", "行く@a", "戻る@b", "@a",
                                             "四", "五", "@b", "六",     "#Stop"};
    WriteScript(script);
    TPaceSettings settings;
    settings.SkipUnseen = true;
    OpenReading(settings);
    // Ctrl pressed for a command with another key skips nothing, however long it is held.
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Key(SDLK_c, true, KMOD_LCTRL);
    Run(500);
    EXPECT_EQ(MessageText(), "一|");
    Key(SDLK_LCTRL, false);
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Run(1000);
    EXPECT_TRUE(UnitRK::Rk.Choosing);
    EXPECT_TRUE(Form->Label0.Visible);
    Click(ChoiceX, ChoiceY);
    Run(500);
    EXPECT_EQ(MessageText(), "四|");
    Key(SDLK_LCTRL, false);
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Run(700);
    EXPECT_EQ(MessageText(), "六|");
    EXPECT_TRUE(UnitRK::Rk.Stopped);
    EXPECT_FALSE(Pacer->Skipping());
}

// Held Ctrl never steps the story behind the data menu, nor again into a line that has just failed:
// each stops it until Ctrl is pressed again.
TEST_F(SkipTest, HeldCtrlStopsAtTheDataMenuAndAtAnErrorReport)
{
    WriteScript({"一", "二", "#Cg bad.bmp", "三"});
    WriteFile("dat/bad.bmp", "BM damaged");
    TPaceSettings settings;
    settings.SkipUnseen = true;
    OpenReading(settings);
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Click(PictureX, PictureY, SDL_BUTTON_RIGHT);
    Run(600);
    EXPECT_EQ(MessageText(), "一|");
    Click(PictureX, PictureY, SDL_BUTTON_RIGHT);  // back to the story, Ctrl still down
    ASSERT_FALSE(Form->Page2.Visible);
    Run(600);
    EXPECT_EQ(MessageText(), "一|");

    Key(SDLK_LCTRL, false);
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Run(1500);
    EXPECT_EQ(MessageText(), "一|二|");
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_FALSE(Pacer->Skipping());
}

// A save made where skipping stopped holds the same bytes as one made after clicking there.
TEST_F(SkipTest, ASaveAfterSkippingIsTheSaveAfterClicking)
{
    WriteFile("dat/a.bmp", TinyBitmap());
    const std::vector<std::string> script = {"一", "#Cg a.bmp", "#Midi m.mid", "二", "三", "四", "行く@a", "@a", "五"};
    WriteScript(script);
    OpenReading();
    for (int i = 0; i < 4; ++i) {
        Click(PictureX, PictureY);
        Run(400);
    }
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    std::string clicked = SaveSlot0();

    Restart(script);
    WriteFile("dat/a.bmp", TinyBitmap());
    OpenReading();
    Key(SDLK_RCTRL, true, KMOD_RCTRL);
    Run(1500);
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    EXPECT_EQ(SaveSlot0(), clicked);
    EXPECT_EQ(clicked.size(), 2776u);
}

// Each line stays for the delay and the time per character, then the story goes on; at a menu it
// waits for the choice, and goes on after it; a click ends auto play. The title says so meanwhile.
TEST_F(SkipTest, AutoPlayKeepsEachLineForItsTimeAndWaitsAtAMenu)
{
    WriteScript({"一", "あいう", "行く@a", "@a", "二", "三", "四"});
    TPaceSettings settings;
    settings.AutoDelayMs = 300;
    settings.AutoPerCharMs = 100;
    OpenReading(settings);
    std::string before = SDL_GetWindowTitle(Backend->Window());
    Tap(SDLK_a);
    ASSERT_TRUE(Pacer->AutoPlaying());
    EXPECT_EQ(std::string(SDL_GetWindowTitle(Backend->Window())), "zv_rk \u2014 auto");
    std::vector<uint32_t> changes;
    std::string shown = MessageText();
    uint32_t start = Now;
    Run(1600, [&](uint32_t now) {
        if (MessageText() != shown) {
            shown = MessageText();
            changes.push_back(now - start);
        }
    });
    // "一" for 400 ms, "あいう" for 600 ms after it, then the menu, which waits.
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_NEAR(changes[0], 400, 30);
    EXPECT_NEAR(changes[1], 1000, 30);
    EXPECT_TRUE(UnitRK::Rk.Choosing);

    Click(ChoiceX, ChoiceY);
    Run(100);
    EXPECT_EQ(MessageText(), "二|");
    Run(400);
    EXPECT_EQ(MessageText(), "二|三|");
    Click(PictureX, PictureY);
    EXPECT_FALSE(Pacer->AutoPlaying());
    EXPECT_EQ(SDL_GetWindowTitle(Backend->Window()), before);
    Run(700);
    EXPECT_EQ(MessageText(), "二|三|四|");

    // With no time set at all, each line still passes (a timer of 0 would never fire).
    Restart({"一", "二", "#Stop"});
    OpenReading(TPaceSettings{false, 0, 0});
    Tap(SDLK_a);
    Run(200);
    EXPECT_EQ(MessageText(), "一|二|");
    EXPECT_FALSE(Pacer->AutoPlaying()) << "nothing goes on after a stop";
}

// The reader's settings, and their bounds: a value out of them is said and not taken.
TEST(ReaderSettings, AreReadWithinTheirBounds)
{
    char pattern[] = "/tmp/rk-settings-XXXXXX";
    std::string folder = mkdtemp(pattern);
    std::string path = folder + "/settings.ini";
    std::ofstream(path) << "[reader]\nSkipUnseen = true\nAutoDelay = 2000\nAutoPerChar = 0\n";
    std::string problem;
    TSettings settings = LoadSettings(path, problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(settings.SkipUnseen, true);
    EXPECT_EQ(settings.AutoDelay, 2000);
    EXPECT_EQ(settings.AutoPerChar, 0);
    for (const char* bad : {"AutoDelay = 60001", "AutoDelay = -5", "AutoPerChar = 1e3", "SkipUnseen = maybe"}) {
        std::ofstream(path) << "[reader]\n" << bad << "\n";
        settings = LoadSettings(path, problem);
        EXPECT_NE(problem.find(std::string(bad).substr(0, 9)), std::string::npos) << bad;
        EXPECT_EQ(settings, TSettings{});
    }
    fs::remove_all(folder);
}

// While an earlier page is looked at, neither auto play nor held Ctrl moves the story on out of
// sight; a record of seen lines that is full still knows what it never held.
TEST_F(SkipTest, NothingSkipsOrPlaysOnWhileLookingBackAndAFullRecordSkipsNothingUnseen)
{
    WriteScript(Seven);
    TPaceSettings settings;
    settings.SkipUnseen = true;
    OpenReading(settings);
    for (int i = 0; i < 4; ++i)
        Click(PictureX, PictureY);
    ASSERT_EQ(MessageText(), "四|五|");
    Tap(SDLK_PAGEUP);
    ASSERT_EQ(Reader->LookBack().Back(), 1u);
    Tap(SDLK_a);
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    Run(3000);
    Key(SDLK_LCTRL, false);
    EXPECT_EQ(MessageText(), "四|五|");
    EXPECT_FALSE(Pacer->AutoPlaying());
    EXPECT_EQ(Reader->LookBack().Back(), 1u);

    Restart(Seven);  // the record holds the five lines read, and is then filled up
    ASSERT_EQ(std::distance(fs::directory_iterator(State), {}), 1);
    {
        SeenLines::TSeenRecord full(fs::directory_iterator(State)->path().string());
        for (uint64_t k = 1; full.Add(k); ++k) {
        }
        std::string problem;
        ASSERT_TRUE(full.Save(problem)) << problem;
    }
    OpenReading();
    Tap(SDLK_TAB);
    Run(1000);
    EXPECT_EQ(MessageText(), "四|五|六|");
}
