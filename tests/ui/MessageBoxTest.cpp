// The program's own message box: caption, text, stop sign, the keys that close it.
#include "UiFixture.h"

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace {

int CountColor(const TRgbImage& image, uint32_t color)
{
    int n = 0;
    for (uint32_t p : image.Pixels)
        n += p == color;
    return n;
}

}  // namespace

TEST_F(UiTest, MessageBoxShowsCaptionTextAndStopSignAndClosesWithReturn)
{
    Application().MessageBox(Sjis::FromUtf8("『dat\\1.txt』が見つかりません。終了します。"), "RK");
    Application().ShowException(Exception(Sjis::FromUtf8("範囲チェックエラー")));
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Title, "RK");
    EXPECT_EQ(CountColor(Boxes[0].Pixels, 0xFF0000), 0);
    EXPECT_GT(CountColor(Boxes[0].Pixels, 0x000000), 100);  // the text and the button's frame
    EXPECT_GT(Boxes[0].Pixels.Width, 200);                  // wide enough for the whole line
    EXPECT_EQ(Boxes[1].Title, "zv_rk");
    EXPECT_GT(CountColor(Boxes[1].Pixels, 0xFF0000), 300);
}

TEST_F(UiTest, MessageBoxClosesWithSpaceEscapeAndTheOkButtonButNotOtherKeys)
{
    std::vector<SDL_Keycode> closers = {SDLK_SPACE, SDLK_ESCAPE};
    for (SDL_Keycode closer : closers) {
        int shown = 0;
        Backend->MessageBoxShown = [&](SDL_Window* box) {
            ++shown;
            // A key meant for another window and keys that mean nothing come first.
            for (SDL_Keycode key : std::vector<SDL_Keycode>{SDLK_RETURN, SDLK_a, SDLK_TAB, closer}) {
                SDL_Event e{};
                e.type = SDL_KEYDOWN;
                e.key.windowID = SDL_GetWindowID(box) + (key == SDLK_RETURN ? 100 : 0);
                e.key.keysym.sym = key;
                SDL_PushEvent(&e);
            }
        };
        Application().MessageBox("x", "c");
        EXPECT_EQ(shown, 1);
        // Had an earlier key closed the box, the closer would still be waiting.
        SDL_Event left;
        while (SDL_PollEvent(&left))
            EXPECT_FALSE(left.type == SDL_KEYDOWN && left.key.keysym.sym == closer);
    }

    Backend->MessageBoxShown = [](SDL_Window* box) {
        int w = 0, h = 0;
        SDL_GetWindowSize(box, &w, &h);
        for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
            SDL_Event e{};
            e.type = type;
            e.button.windowID = SDL_GetWindowID(box);
            e.button.button = SDL_BUTTON_LEFT;
            e.button.x = w / 2;
            e.button.y = h - 20;  // the OK button, 12 pixels above the bottom, 23 high
            SDL_PushEvent(&e);
        }
    };
    Application().MessageBox("x", "c");  // returns: the OK button closed it
}

TEST_F(UiTest, AQuitWhileTheBoxIsUpClosesItAndIsKeptForTheProgram)
{
    Backend->MessageBoxShown = [](SDL_Window*) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    };
    WriteScript({"一行"});
    Open();
    Application().MessageBox("x", "c");
    Pump();
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(UiTest, MessageBoxesScaleWithTheWindow)
{
    WriteScript({"一行"});
    const std::string text = Sjis::FromUtf8("『dat\\1.txt』が見つかりません。");
    auto closeWithReturn = Backend->MessageBoxShown;
    SDL_Point okAt{};
    auto clickOk = [&](SDL_Window* box) {
        Boxes.push_back({SDL_GetWindowTitle(box), ReadSurface(SDL_GetWindowSurface(box)), {}});
        int w = 0, h = 0;
        SDL_GetWindowSize(box, &w, &h);
        // The OK button, 12 form pixels above the bottom and 23 high: 3 times that in the window.
        okAt = {w / 2, h - 3 * 20};
        for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
            SDL_Event e{};
            e.type = type;
            e.button.windowID = SDL_GetWindowID(box);
            e.button.button = SDL_BUTTON_LEFT;
            e.button.x = okAt.x;
            e.button.y = okAt.y;
            SDL_PushEvent(&e);
        }
        // Return as well, so that a box the click missed still closes; if the click closed it,
        // Return is left over.
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.windowID = SDL_GetWindowID(box);
        key.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&key);
    };
    auto closedByTheClick = [] {
        bool left = false;
        SDL_Event e;
        while (SDL_PollEvent(&e))
            left = left || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_RETURN);
        return left;
    };
    // Before the window opens (an error while the form is created), at the scale it will open with.
    Backend->MessageBoxShown = clickOk;
    Backend->SetView({3, false});
    Application().ShowException(Exception(text));
    EXPECT_TRUE(closedByTheClick()) << "the OK button at 3x closes the box";
    Backend->MessageBoxShown = closeWithReturn;
    Backend->SetView({1, false});
    Open();
    Application().ShowException(Exception(text));
    Backend->SetView({3, false});
    Pump();
    Backend->MessageBoxShown = clickOk;
    Application().ShowException(Exception(text));
    EXPECT_TRUE(closedByTheClick()) << "the OK button at 3x closes the box";
    ASSERT_EQ(Boxes.size(), 3u);
    const TRgbImage& one = Boxes[1].Pixels;
    for (size_t n : {0u, 2u}) {
        const TRgbImage& big = Boxes[n].Pixels;
        ASSERT_EQ(big.Width, 3 * one.Width);
        ASSERT_EQ(big.Height, 3 * one.Height);
        int wrong = 0;
        for (int y = 0; y < big.Height; ++y)
            for (int x = 0; x < big.Width; ++x)
                wrong += big.Pixels[size_t(y * big.Width + x)] != one.Pixels[size_t(y / 3 * one.Width + x / 3)];
        EXPECT_EQ(wrong, 0) << "box " << n;
    }
}
