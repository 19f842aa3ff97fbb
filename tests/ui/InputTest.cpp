// Mouse and keyboard as the window turns them into the controls' events.
#include "UiFixture.h"

#include "engine/UnitRK.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/audio/AudioDevice.h"

#include <cstdlib>
#include <iterator>
#include <optional>

namespace {

const std::vector<std::string> FiveLines = {"一", "二", "三", "四", "五"};

// Client positions of the data menu's buttons (the page sits at -1, -1).
constexpr int SaveX = 20, LoadX = 100, Row0 = 40, Row1 = 68, Row2 = 96, CancelX = 76, CancelY = 128;

}  // namespace

TEST_F(UiTest, EveryPressStepsOnceEvenWhenTwoPressesMakeADoubleClick)
{
    WriteScript(FiveLines);
    Open();
    Press(60, 120, SDL_BUTTON_LEFT, 1);
    Release(60, 120, SDL_BUTTON_LEFT, 1);
    Press(60, 120, SDL_BUTTON_LEFT, 2);
    Release(60, 120, SDL_BUTTON_LEFT, 2);
    Pump();
    EXPECT_EQ(MessageText(), "一|二|三|");
    // A third quick press is an ordinary click again.
    Press(60, 120, SDL_BUTTON_LEFT, 3);
    Release(60, 120, SDL_BUTTON_LEFT, 3);
    Pump();
    EXPECT_EQ(MessageText(), "四|");
}

TEST_F(UiTest, AClickNeedsPressAndReleaseOnTheSameControl)
{
    WriteScript(FiveLines);
    Open();
    Press(60, 120);   // message label
    Release(60, 40);  // picture panel
    Pump();
    EXPECT_EQ(MessageText(), "一|");
    Click(60, 40);
    EXPECT_EQ(MessageText(), "一|二|");
    // Clicks on the one visible row and column of the page's frame do nothing.
    Click(153, 141);
    EXPECT_EQ(MessageText(), "一|二|三|");  // the message panel reaches the corner
}

TEST_F(UiTest, ButtonsClickOnlyWhenReleasedOverThem)
{
    WriteScript(FiveLines);
    Open();
    Click(60, 40, SDL_BUTTON_RIGHT);
    ASSERT_TRUE(Form->Page2.Visible);

    Press(SaveX, Row1);
    Pump();
    EXPECT_EQ(Backend->FocusedButton(), &Form->ButSave1);
    Move(SaveX, Row1 + 25);  // dragged off before release
    Release(SaveX, Row1 + 25);
    Pump();
    EXPECT_FALSE(FileExists("save1.dat"));
    EXPECT_TRUE(Form->Page2.Visible);

    Click(SaveX, Row1);
    EXPECT_TRUE(FileExists("save1.dat"));
    EXPECT_FALSE(Form->Page2.Visible);  // saving closes the menu

    Click(60, 40, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(Form->ButLoad1.Visible);
    Click(CancelX, CancelY);
    EXPECT_FALSE(Form->Page2.Visible);
    EXPECT_EQ(MessageText(), "一|");
}

TEST_F(UiTest, TabVisitsTheShowingButtonsInTheDesignedOrder)
{
    WriteScript(FiveLines);
    for (int n = 0; n < 3; ++n)
        WriteFile("save" + std::to_string(n) + ".dat", std::string(2776, '\0'));
    Open();
    Tap(SDLK_TAB);  // nothing to focus on the game page
    EXPECT_EQ(Backend->FocusedButton(), nullptr);
    Click(60, 40, SDL_BUTTON_RIGHT);

    std::vector<std::string> visited;
    for (int i = 0; i < 8; ++i) {
        Tap(SDLK_TAB);
        visited.push_back(Backend->FocusedButton() ? Backend->FocusedButton()->Name : "-");
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"ButSave1", "ButSave2", "ButSave0", "ButLoad1", "ButLoad2", "ButLoad0",
                                                 "But2Cancel", "ButSave1"}));
    Tap(SDLK_TAB, KMOD_LSHIFT);
    EXPECT_EQ(Backend->FocusedButton(), &Form->But2Cancel);
    // The focused button is drawn as the default one: a black frame and a dotted focus rectangle.
    EXPECT_EQ(At(39, 119), 0x000000u);
    EXPECT_EQ(At(43, 123), 0x000000u);
    // The arrow keys go the same way round.
    Tap(SDLK_LEFT);
    EXPECT_EQ(Backend->FocusedButton(), &Form->ButLoad0);
    Tap(SDLK_DOWN);
    EXPECT_EQ(Backend->FocusedButton(), &Form->But2Cancel);

    Tap(SDLK_RETURN);
    EXPECT_FALSE(Form->Page2.Visible);
    EXPECT_EQ(Backend->FocusedButton(), nullptr);  // its page is hidden
}

TEST_F(UiTest, TheContextMenuKeyShiftF10AndEscapeActAsARightClick)
{
    WriteScript(FiveLines);
    Open();
    Tap(SDLK_APPLICATION);
    EXPECT_TRUE(Form->Page2.Visible);
    Tap(SDLK_APPLICATION);
    EXPECT_FALSE(Form->Page2.Visible);
    Tap(SDLK_ESCAPE);
    EXPECT_TRUE(Form->Page2.Visible);
    Tap(SDLK_ESCAPE);
    EXPECT_FALSE(Form->Page2.Visible) << "on the data menu, Escape is Cancel";
    Tap(SDLK_F10);
    EXPECT_FALSE(Form->Page2.Visible) << "F10 alone is no context-menu request";
    Tap(SDLK_F10, KMOD_LSHIFT);
    EXPECT_TRUE(Form->Page2.Visible);
    Tap(SDLK_TAB);  // a focused button answers for the page
    Tap(SDLK_F10, KMOD_RSHIFT);
    EXPECT_FALSE(Form->Page2.Visible);
    EXPECT_EQ(MessageText(), "一|");
}

TEST_F(UiTest, SpacePressesTheFocusedButtonOnRelease)
{
    WriteScript(FiveLines);
    Open();
    Click(60, 40, SDL_BUTTON_RIGHT);
    Tap(SDLK_TAB);
    Tap(SDLK_TAB);
    ASSERT_EQ(Backend->FocusedButton(), &Form->ButSave2);
    Key(SDLK_SPACE, true);
    Pump();
    EXPECT_FALSE(FileExists("save2.dat"));
    EXPECT_EQ(At(7, 87), 0x000000u);  // pushed in: black frame
    EXPECT_EQ(At(8, 88), 0x808080u);  // then the shadow, no white edge
    Key(SDLK_SPACE, false);
    Pump();
    EXPECT_TRUE(FileExists("save2.dat"));
}

TEST_F(UiTest, ChoicesAnswerTheMouseAndARightClickOnThemOpensTheDataMenu)
{
    WriteScript({"A@a", "B@b", "@a", "エー", "@b", "ビー"});
    Open();
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    Move(60, 115);  // choice 1 (one column: full width)
    EXPECT_EQ(UnitRK::Rk.HotChoice, 1);
    Move(60, 40);
    EXPECT_EQ(UnitRK::Rk.HotChoice, -1);
    Move(60, 115);
    Move(60, 111);  // the message label, between two choices
    EXPECT_EQ(UnitRK::Rk.HotChoice, -1);
    Click(60, 103, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(Form->Page2.Visible);
    Click(5, 20, SDL_BUTTON_RIGHT);
    Click(60, 115);
    UnitRK::AutoTick();
    EXPECT_EQ(MessageText(), "ビー|");
}

TEST_F(UiTest, AnEventTheWaitTookIsStillDelivered)
{
    WriteScript(FiveLines);
    Open();
    Press(60, 120);
    Release(60, 120);
    Application().WaitForEvent(1000);
    Pump();
    EXPECT_EQ(MessageText(), "一|二|");
}

TEST_F(UiTest, TheWindowIsRedrawnWhenAControlChangesAndOnlyThen)
{
    WriteScript(FiveLines);
    Open();
    SDL_Surface* surface = SDL_GetWindowSurface(Backend->Window());
    SDL_Rect mark{60, 20, 4, 4};
    SDL_FillRect(surface, &mark, SDL_MapRGB(surface->format, 0, 255, 0));
    Pump();
    EXPECT_EQ(At(61, 21), 0x00FF00u);  // nothing changed, nothing drawn
    Form->Label4.Color = 0x123456;     // a hidden control: still part of what is compared
    Pump();
    EXPECT_EQ(At(61, 21), 0x444444u);
    SDL_FillRect(surface, &mark, SDL_MapRGB(surface->format, 0, 255, 0));
    SDL_Event exposed{};
    exposed.type = SDL_WINDOWEVENT;
    exposed.window.windowID = SDL_GetWindowID(Backend->Window());
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    SDL_PushEvent(&exposed);
    Pump();
    EXPECT_EQ(At(61, 21), 0x444444u);
}

TEST_F(UiTest, ClosingTheWindowRequestsTermination)
{
    WriteScript(FiveLines);
    Open();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = SDL_GetWindowID(Backend->Window());
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    Pump();
    EXPECT_TRUE(Application().Terminated()) << "the close button alone ends the program";
}

// The variables that choose the window system, put back as they were after each case.
class DisplayCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : Names) {
            const char* value = std::getenv(name);
            Kept.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (size_t i = 0; i < std::size(Names); ++i)
            if (Kept[i])
                setenv(Names[i], Kept[i]->c_str(), 1);
            else
                unsetenv(Names[i]);
    }

private:
    static constexpr const char* Names[] = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
    std::vector<std::optional<std::string>> Kept;
};

TEST_F(DisplayCheck, WithoutDisplayOrDriverTheProgramRefusesToRunInvisibly)
{
    EXPECT_NE(TSdlBackend::MissingDisplayReason(), "");
    setenv("DISPLAY", ":5", 1);
    EXPECT_EQ(TSdlBackend::MissingDisplayReason(), "");
    unsetenv("DISPLAY");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_EQ(TSdlBackend::MissingDisplayReason(), "");
}

// A display that refuses the connection (an X server resetting as its last client leaves, one that
// is gone) must not leave SDL to fall back to drawing in memory, where nobody sees the story.
TEST_F(DisplayCheck, ADisplayThatCannotBeReachedIsAnErrorNotAnInvisibleWindow)
{
    setenv("DISPLAY", ":65000", 1);  // no server listens there
    try {
        TSdlBackend backend;
        ADD_FAILURE() << "the video started without a display";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("cannot open display :65000"), std::string::npos) << e.what();
    }
}

// Keys play the game page as the mouse does: the same engine operations, nothing of their own.
TEST_F(UiTest, KeysAdvancePickChoicesAndLeaveTheDataMenuAlone)
{
    WriteScript({"一", "二",   "三", "四",     "五",  "六",  "A@a", "B@b",  "C@c", "D@d",   "E@e",
                 "@a", "エー", "@d", "ディー", "P@p", "Q@q", "@p",  "ピー", "@q",  "キュー"});
    Open();
    Tap(SDLK_RETURN);
    Tap(SDLK_SPACE);
    EXPECT_EQ(MessageText(), "一|二|三|");
    Tap(SDLK_DOWN);
    EXPECT_EQ(MessageText(), "四|");
    Tap(SDLK_PAGEDOWN);
    Tap(SDLK_KP_ENTER);
    EXPECT_EQ(MessageText(), "四|五|六|");
    // Not with Ctrl or Alt, which make other commands of them; not on the data menu.
    Tap(SDLK_RETURN, KMOD_LCTRL);
    Tap(SDLK_SPACE, KMOD_LALT);
    Tap(SDLK_ESCAPE);
    ASSERT_TRUE(Form->Page2.Visible);
    Tap(SDLK_DOWN);
    Tap(SDLK_RETURN);
    Tap(SDLK_1);
    Tap(SDLK_ESCAPE);
    EXPECT_EQ(MessageText(), "四|五|六|");

    // Five choices: A B C down the first column, D E down the second. The digits count in that
    // reading order, so 4 is D, at the top of the second column.
    Tap(SDLK_SPACE);
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    Tap(SDLK_6);  // past the choices shown
    EXPECT_TRUE(UnitRK::Rk.Choosing);
    Tap(SDLK_4);
    EXPECT_FALSE(UnitRK::Rk.Choosing);
    UnitRK::AutoTick();
    EXPECT_EQ(MessageText(), "ディー|");

    // Up and Down move the highlight round the choices; Enter picks the highlighted one.
    Tap(SDLK_SPACE);
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    Tap(SDLK_DOWN);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 0);
    EXPECT_EQ(At(4, 99), 0xFFFFFFu) << "highlighted as under the mouse";
    Tap(SDLK_UP);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 1) << "round to the last";
    Tap(SDLK_DOWN);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 0);
    Tap(SDLK_DOWN);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 1);
    Tap(SDLK_SPACE);  // advances as a click on the picture does: not while choosing
    EXPECT_TRUE(UnitRK::Rk.Choosing);
    Tap(SDLK_RETURN);
    EXPECT_FALSE(UnitRK::Rk.Choosing);
    UnitRK::AutoTick();
    EXPECT_EQ(MessageText(), "キュー|");
}

TEST_F(UiTest, MTurnsTheSoundOffAndOn)
{
    WriteScript(FiveLines);
    Open();
    ASSERT_FALSE(Audio::Muted());
    Tap(SDLK_m);
    EXPECT_TRUE(Audio::Muted());
    Key(SDLK_m, true);  // held: the repeats change nothing
    SDL_Event repeat{};
    repeat.type = SDL_KEYDOWN;
    repeat.key.windowID = SDL_GetWindowID(Backend->Window());
    repeat.key.repeat = 1;
    repeat.key.keysym.sym = SDLK_m;
    SDL_PushEvent(&repeat);
    Key(SDLK_m, false);
    Pump();
    EXPECT_FALSE(Audio::Muted());
    Audio::SetMuted(false);
}
