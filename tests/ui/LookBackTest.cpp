// The reader's features in the real window: looking back at earlier pages, the wheel, copying the
// page's text and the key help.
#include "ReaderFixture.h"

#include "engine/UnitRK.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

std::string FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string Clipboard()
{
    char* text = SDL_GetClipboardText();
    std::string copied = text ? text : "";
    SDL_free(text);
    return copied;
}

}  // namespace

void ReaderTest::TearDown()
{
    if (Form)
        Form->ReaderInput = nullptr;
    Reader.reset();
    UiTest::TearDown();
}

void ReaderTest::OpenReader(const TReaderOptions& options)
{
    Open();
    Reader = std::make_unique<TReader>(*Form, Form->Page1, Form->PanelText, *Backend, options);
    Form->ReaderInput = [this](int key, bool repeat) { return Reader->Input(key, repeat); };
    Pump();
}

void ReaderTest::Wheel(int notches)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = SDL_GetWindowID(Backend->Window());
    e.wheel.y = notches;
    SDL_PushEvent(&e);
    Pump();
}

std::string ReaderTest::Title() const { return SDL_GetWindowTitle(Backend->Window()); }

TEST_F(ReaderTest, PageUpShowsEarlierPagesAsDrawnAndComingBackChangesNothing)
{
    WriteScript({"一行目", "二行目", "三行目", "四行目", "A@a", "B@b", "@a", "五行目", "@b"});
    OpenReader();
    Tap(SDLK_PAGEUP);  // nothing kept yet
    EXPECT_EQ(Title(), "");
    Click(50, 40);
    Click(50, 40);
    TRgbImage first = Screen();
    Click(50, 40);
    TRgbImage second = Screen();
    Click(50, 40);  // the menu
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    TRgbImage menu = Screen();
    UnitRK::SaveSlot(0);

    Tap(SDLK_PAGEUP);
    EXPECT_EQ(Screen().Pixels, second.Pixels);
    EXPECT_EQ(Title(), "zv_rk \u2014 1 page back");
    Tap(SDLK_LEFT);
    EXPECT_EQ(Screen().Pixels, first.Pixels);
    EXPECT_EQ(Title(), "zv_rk \u2014 2 pages back");
    Tap(SDLK_PAGEUP);  // no page before the first
    EXPECT_EQ(Title(), "zv_rk \u2014 2 pages back");
    // Nothing reaches the story meanwhile: not a choice's key, not the data menu.
    Tap(SDLK_1);
    EXPECT_TRUE(UnitRK::Rk.Choosing);
    Tap(SDLK_RIGHT);
    EXPECT_EQ(Screen().Pixels, second.Pixels);
    Tap(SDLK_PAGEDOWN);
    EXPECT_EQ(Screen().Pixels, menu.Pixels);
    EXPECT_EQ(Title(), "");
    auto rightClick = [this] { Click(50, 40, SDL_BUTTON_RIGHT); };
    for (const std::function<void()>& back : std::initializer_list<std::function<void()>>{
             [this] { Tap(SDLK_RETURN); }, [this] { Tap(SDLK_SPACE); }, [this] { Tap(SDLK_ESCAPE); }, rightClick}) {
        Tap(SDLK_PAGEUP);
        back();
        EXPECT_EQ(Screen().Pixels, menu.Pixels);
        EXPECT_FALSE(Form->Page2.Visible);
    }
    Tap(SDLK_PAGEUP);
    Click(70, 120);  // on the page looked at
    EXPECT_EQ(Screen().Pixels, menu.Pixels);
    EXPECT_TRUE(UnitRK::Rk.Choosing);
    UnitRK::SaveSlot(1);
    EXPECT_EQ(FileBytes(UnitRK::SlotFileName(1)), FileBytes(UnitRK::SlotFileName(0)));

    // A menu is a page too, shown as its choices were.
    Tap(SDLK_1);
    UnitRK::AutoTick();
    Pump();
    ASSERT_EQ(MessageText(), "五行目|");
    Tap(SDLK_PAGEUP);
    EXPECT_EQ(Screen().Pixels, menu.Pixels);
}

TEST_F(ReaderTest, TheWheelLooksBackAndOnTheCurrentPageAdvances)
{
    WriteScript({"一", "二", "三", "四"});
    OpenReader();
    Wheel(-1);
    EXPECT_EQ(MessageText(), "一|二|");
    Wheel(-2);
    Wheel(-1);
    ASSERT_EQ(MessageText(), "四|");
    Wheel(1);
    EXPECT_EQ(Title(), "zv_rk \u2014 1 page back");
    Wheel(-1);
    EXPECT_EQ(Title(), "");
    EXPECT_EQ(MessageText(), "四|");
}

TEST_F(ReaderTest, CtrlCCopiesThePageShownAsText)
{
    WriteScript({"A&&B&c　漢字", "二行目", "一つ目@a", "二つ目@b", "三つ目&@c", "四つ目@d", "@a"});
    OpenReader();
    Click(50, 40);
    Tap(SDLK_c, KMOD_LCTRL);
    EXPECT_EQ(Clipboard(), "A&Bc　漢字\n二行目\n");
    Click(50, 40);
    Tap(SDLK_c, KMOD_RCTRL);
    EXPECT_EQ(Clipboard(), "一つ目\n二つ目\n三つ目\n四つ目\n");
    Tap(SDLK_PAGEUP);
    Tap(SDLK_c, KMOD_LCTRL);
    EXPECT_EQ(Clipboard(), "A&Bc　漢字\n二行目\n");
}

TEST_F(ReaderTest, CopyEveryPagePutsEachNewPageOnTheClipboard)
{
    WriteScript({"一", "二", "A@a", "B@b", "@a"});
    OpenReader({.CopyEveryPage = true});
    EXPECT_EQ(Clipboard(), "一\n");
    Click(50, 40);
    EXPECT_EQ(Clipboard(), "一\n二\n");
    Click(50, 40);
    EXPECT_EQ(Clipboard(), "A\nB\n");
}

TEST_F(ReaderTest, F1ShowsEveryKeyInThePlayersOwnBox)
{
    WriteScript({"一"});
    OpenReader();
    Tap(SDLK_F1);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "zv_rk");
    // Tall enough for a line a key, and the window is left as it was.
    EXPECT_GT(Boxes[0].Pixels.Height, 15 * 12);
    EXPECT_EQ(MessageText(), "一|");
}
