// What the window shows: the start screen, a menu of four choices, the data menu, and the
// error paths of start-up.
#include "UiFixture.h"

#include "engine/UnitRK.h"
#include "platform/graphics/JpegGraphic.h"
#include "platform/sdl/VideoStart.h"
#include "timing/MyTime.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t White = 0xFFFFFF, Black = 0x000000, PictureArea = 0x444444, Face = 0xD4D0C8;

// Client-area boxes: the message label starts at 3, 98 (its page sits at -1, -1); lines are 13
// pixels high; the right column of choices starts at 79.
constexpr int TextLeft = 3, Line1 = 98, Line2 = 111, LineHeight = 13, RightColumn = 79, ColumnWidth = 72;

}  // namespace

TEST_F(UiTest, StartScreenShowsFirstLineWhiteOnBlackUnderTheDarkPictureArea)
{
    WriteScript({"はじめの行です。", "二行目", "三行目"});
    Open();
    int w = 0, h = 0;
    SDL_GetWindowSize(Backend->Window(), &w, &h);
    EXPECT_EQ(w, 154);
    EXPECT_EQ(h, 142);
    EXPECT_EQ(MessageText(), "はじめの行です。|");
    EXPECT_EQ(At(0, 0), PictureArea);
    EXPECT_EQ(At(153, 93), PictureArea);
    EXPECT_EQ(At(0, 94), PictureArea);  // the picture area shows 95 rows
    EXPECT_EQ(At(0, 95), Black);
    EXPECT_EQ(At(153, 141), Black);
    EXPECT_GT(Count(TextLeft, Line1, 148, LineHeight, White), 20);
    EXPECT_EQ(Count(0, Line2, 154, 142 - Line2, White), 0);
    for (TLabel* label : {&Form->Label0, &Form->Label1, &Form->Label2, &Form->Label3, &Form->Label4, &Form->Label5})
        EXPECT_FALSE(label->Visible);
    // Nothing but the picture colour, black and white anywhere: one-bit text, no smoothing.
    for (uint32_t pixel : Screen().Pixels)
        ASSERT_TRUE(pixel == PictureArea || pixel == Black || pixel == White) << std::hex << pixel;
    ExpectMatchesReference("start");
}

TEST_F(UiTest, FourChoicesShowInTwoColumnsAndTheOneUnderTheMouseIsInverted)
{
    WriteScript({"どちらへ行く？", "東へ@east", "西へ@west", "南へ@south", "北へ@north", "@east", "東へ行った。",
                 "@west", "西へ行った。", "@south", "南へ行った。", "@north", "北へ行った。"});
    Open();
    Click(60, 120);
    ASSERT_TRUE(UnitRK::Rk.Choosing);
    EXPECT_EQ(Form->Label0.Width, 72);
    EXPECT_TRUE(Form->Label3.Visible);
    EXPECT_FALSE(Form->Label4.Visible);
    EXPECT_GT(Count(TextLeft, Line1, ColumnWidth, LineHeight, White), 10);       // 東へ
    EXPECT_GT(Count(TextLeft, Line1 + 30, ColumnWidth, LineHeight, White), 10);  // 南へ
    EXPECT_GT(Count(RightColumn, Line1, ColumnWidth, LineHeight, White), 10);    // 北へ

    Move(RightColumn + 30, Line1 + 5);
    // Inverted: white background, black text.
    EXPECT_GT(Count(RightColumn, Line1, ColumnWidth, LineHeight, White), ColumnWidth * LineHeight * 3 / 4);
    EXPECT_EQ(At(RightColumn, Line1), White);
    EXPECT_EQ(At(TextLeft, Line1), Black);
    ExpectMatchesReference("menu");

    // Back over the picture: the highlight goes.
    Move(60, 40);
    EXPECT_EQ(At(RightColumn, Line1), Black);

    Click(RightColumn + 30, Line1 + 5);
    EXPECT_FALSE(Form->Label3.Visible);
    UnitRK::AutoTick();
    EXPECT_EQ(MessageText(), "北へ行った。|");
}

TEST_F(UiTest, RightClickReplacesTheGamePageWithTheDataMenuAndBack)
{
    WriteScript({"一行目", "二行目"});
    WriteFile("save1.dat", std::string(2776, '\0'));
    Open();
    TRgbImage game = Screen();

    Click(60, 40, SDL_BUTTON_RIGHT);
    ASSERT_TRUE(Form->Page2.Visible);
    EXPECT_FALSE(Form->Page1.Visible);
    EXPECT_TRUE(Form->ButLoad1.Visible);
    EXPECT_FALSE(Form->ButLoad0.Visible);
    EXPECT_FALSE(Form->ButLoad2.Visible);
    EXPECT_EQ(At(2, 2), PictureArea);
    EXPECT_EQ(At(10, 40), Face);         // ButSave0
    EXPECT_EQ(At(90, 68), Face);         // ButLoad1
    EXPECT_EQ(At(90, 40), PictureArea);  // no ButLoad0
    ExpectMatchesReference("datamenu");

    // A right click anywhere on the data menu, a button included, goes back unchanged.
    Click(90, 68, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(Form->Page1.Visible);
    EXPECT_FALSE(Form->Page2.Visible);
    EXPECT_EQ(Screen().Pixels, game.Pixels);
}

TEST_F(UiTest, MissingScriptShowsItsOwnBoxAndEndsTheProgram)
{
    Open();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "RK");
    EXPECT_TRUE(Application().Terminated());
    EXPECT_NE(Backend->Window(), nullptr);  // the window still opens, then the loop ends
}

TEST_F(UiTest, AnErrorDuringCreationIsReportedAndTheWindowStillOpens)
{
    WriteScript({"a b c d e f g h i j k l m n o p q"});  // 17 words
    Open();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "zv_rk");
    EXPECT_FALSE(Application().Terminated());
    EXPECT_EQ(At(2, 2), PictureArea);
    EXPECT_EQ(Count(0, 95, 154, 47, White), 0);
    // Nothing was loaded: the first click ends the story.
    Click(60, 120);
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(UiTest, ThePictureShowsCentredAndABrokenOneIsReportedOnce)
{
    WriteScript({"#Cg pic.bmp", "絵の下の行", "二行目", "三行目"});
    WriteFile("dat/pic.bmp", TinyBitmap());
    Open();
    UnitRK::AutoTick();
    Pump();
    ASSERT_TRUE(Form->Image1.Visible);
    // Centred in the 156 × 96 picture panel, which sits one pixel up and left.
    int left = (156 - 4) / 2 - 1, top = (96 - 2) / 2 - 1;
    EXPECT_EQ(At(left, top), 0xFF0000u);
    EXPECT_EQ(At(left + 3, top + 1), 0x0000FFu);
    EXPECT_EQ(At(left - 1, top), PictureArea);
    // A click or a double click on the picture steps the story like one on the picture area.
    Click(left + 1, top);
    EXPECT_EQ(MessageText(), "絵の下の行|二行目|");
    Press(left + 1, top, SDL_BUTTON_LEFT, 2);
    Release(left + 1, top, SDL_BUTTON_LEFT, 2);
    Pump();
    EXPECT_EQ(MessageText(), "絵の下の行|二行目|三行目|");

    struct TBroken : TGraphic {
        int Width() const override { return 10; }
        int Height() const override { return 10; }
        const TRgbImage& Render() override
        {
            if (Calls++ == 0)
                throw Exception("broken");
            return Empty;
        }
        int Calls = 0;
        TRgbImage Empty;
    };
    Form->Image1.SetPicture(std::make_shared<TBroken>());
    Pump();
    Form->LabMain.Caption = "x";
    Pump();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "zv_rk");
}

// The first line fails; once a click gets past it, the commands after it go on by themselves,
// as they do when the first line succeeds: timer 2 runs whatever the first step did.
TEST_F(UiTest, AStoryWhoseFirstLineFailsGoesOnOnceAClickGetsPastIt)
{
    WriteScript({"#Cg pic.bmp", "絵の下の行"});
    WriteFile("dat/pic.bmp", "BM damaged");
    // The main loop's clock moves 50 ms at every reading and ends the run after a second.
    uint32_t now = 0;
    bool ended = false;
    MyTime::SetClock([&] {
        now += 50;
        if (now > 1000 && !ended) {
            ended = true;
            Application().Terminate();
        }
        return now;
    });
    Open();
    ASSERT_EQ(Boxes.size(), 1u);
    WriteFile("dat/pic.bmp", TinyBitmap());
    Press(60, 120);
    Release(60, 120);
    MyTime::MainLoop();
    EXPECT_TRUE(Form->Image1.Visible);
    EXPECT_EQ(MessageText(), "絵の下の行|");
    Click(60, 120, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(Form->Page2.Visible) << "the data menu opens";
}

// One click, one step, after a first picture whose header is damaged: the click shows the picture
// and timer 2 the line after it, and no more, whether the click comes at once after the report or
// later. Were the failed step to leave its pending step behind, timer 2 would retry the picture by
// itself once the file is good and the click would add a second line. The Return that closed the
// report is released over the main window, as a person's is.
TEST_F(UiTest, AfterAFailedFirstPictureOneClickGivesOneStep)
{
    std::ifstream in(std::string(RK_TEST_IMAGES) + "/testorig.jpg", std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string damaged = good;
    damaged[good.find("\xFF\xC0") + 9] = 0;  // a frame of no components: the header is refused
    for (uint32_t clickAt : {0u, 3000u}) {
        SCOPED_TRACE(clickAt);
        TearDown();
        SetUp();
        Boxes.clear();
        WriteScript({"#Cg a.jpg", "一行目", "二行目", "三行目"});
        WriteFile("dat/a.jpg", damaged);
        uint32_t now = 0;
        bool clicked = true;
        MyTime::SetClock([&] {
            now += 50;
            if (now > clickAt && !clicked) {
                clicked = true;
                Press(60, 120);
                Release(60, 120);
            }
            if (now == clickAt + 2000)
                Application().Terminate();
            return now;
        });
        Open();
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_NE(Boxes[0].Title.find("zv_rk"), std::string::npos);
        Key(SDLK_RETURN, false);
        WriteFile("dat/a.jpg", good);
        clickAt += now;
        clicked = false;
        MyTime::MainLoop();
        EXPECT_EQ(Boxes.size(), 1u);
        EXPECT_TRUE(Form->Image1.Visible);
        EXPECT_EQ(MessageText(), "一行目|");
    }
}

// The key that closes a report is still down when the window gets the focus back: SDL reports it
// pressed there too, and the keyboard repeats it while it is held. None of that is a press of the
// window's; the next press is.
TEST_F(UiTest, TheKeyThatClosedAReportDoesNotGoOnToTheStory)
{
    WriteScript({"#Cg a.jpg", "一行目", "二行目"});
    WriteFile("dat/a.jpg", "not a picture");
    Open();
    ASSERT_EQ(Boxes.size(), 1u);
    std::ifstream good(std::string(RK_TEST_IMAGES) + "/testorig.jpg", std::ios::binary);
    WriteFile("dat/a.jpg", std::string(std::istreambuf_iterator<char>(good), std::istreambuf_iterator<char>()));
    for (Uint8 repeat : {0, 1, 1}) {
        SDL_Event held{};
        held.type = SDL_KEYDOWN;
        held.key.windowID = SDL_GetWindowID(Backend->Window());
        held.key.repeat = repeat;
        held.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&held);
        Pump();
    }
    EXPECT_FALSE(Form->Image1.Visible) << "the story has not moved";
    Key(SDLK_RETURN, false);
    Key(SDLK_RETURN, true);
    Pump();
    EXPECT_TRUE(Form->Image1.Visible) << "a fresh press steps";
    EXPECT_EQ(Boxes.size(), 1u);
}

// A JPEG whose damage only decoding meets (here a second frame header after the scan) is reported
// over the frame with the picture as far as it was decoded, and stays drawn after the report.
TEST_F(UiTest, APictureThatFailsWhileDecodingIsReportedOverWhatWasDecoded)
{
    std::ifstream in(std::string(RK_TEST_IMAGES) + "/testorig.jpg", std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t frame = good.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    size_t length = size_t(uint8_t(good[frame + 2])) << 8 | uint8_t(good[frame + 3]);
    WriteFile("dat/broken.jpg", good.substr(0, good.size() - 2) + good.substr(frame, length + 2) + "\xFF\xD9");
    WriteScript({"#Cg broken.jpg", "次の行"});
    TJpegGraphic reference(good);
    const TRgbImage& decoded = reference.Render();
    ASSERT_EQ(decoded.Width, 227);
    ASSERT_EQ(decoded.Height, 149);

    Open();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, "zv_rk");
    // Centred at -35, -26 in the picture panel, which sits at -1, -1.
    auto expectPicture = [&](const TRgbImage& window, const char* when) {
        ASSERT_EQ(window.Width, 154) << when;
        for (auto [x, y] : {std::pair{0, 0}, {77, 47}, {153, 94}})
            EXPECT_EQ(window.Pixels[size_t(y * 154 + x)], decoded.Pixels[size_t((y + 27) * 227 + x + 36)])
                << when << " at " << x << "," << y;
    };
    expectPicture(Boxes[0].Behind, "behind the report");
    Pump();
    expectPicture(Screen(), "after the report");
    EXPECT_EQ(Boxes.size(), 1u) << "reported once";
}

// Started at a label: the line after it shows first, with the picture set on the way there, and
// the story goes on from there; F5 reads the script again and goes on from the same line.
TEST_F(UiTest, AStoryStartedAtALabelAndReadAgainWhilePlaying)
{
    WriteScript({"#Cg pic.bmp", "はじめ", "@middle", "途中から", "次の行"});
    WriteFile("dat/pic.bmp", TinyBitmap());
    Form = std::make_unique<TForm1>();
    Form1 = Form.get();
    Form->OnPaint = nullptr;
    Form->FirstStep = [] { UnitRK::StartAt(2, "pic.bmp", ""); };
    Application().Guard([&] { Form->FormCreate(); });
    Backend->OpenWindow(*Form);
    Pump();
    EXPECT_EQ(MessageText(), "途中から|");
    EXPECT_TRUE(Form->Image1.Visible);
    EXPECT_EQ(MyTime::Intervals[2], 100) << "timer 2 runs as after any first step";

    WriteScript({"#Cg pic.bmp", "はじめ", "@middle", "途中から", "書き直した行"});
    Tap(SDLK_F5);
    EXPECT_EQ(MessageText(), "途中から|") << "what is on screen stays";
    Click(60, 120);
    EXPECT_EQ(MessageText(), "途中から|書き直した行|");
    WriteFile("dat/1.txt", "a b c d e f g h i j k l m n o p q\r\n");
    Tap(SDLK_F5);
    ASSERT_EQ(Boxes.size(), 1u) << "a script that does not load is reported";
    Click(60, 120);
    Pump();
    EXPECT_TRUE(Application().Terminated()) << "and the old one plays on: its closing #End";
}

// A damaged save slot can give the choice labels any width at all; drawing and hit-testing
// them must neither overflow nor crash (the sanitizer build checks the arithmetic).
TEST_F(UiTest, ChoicesOfAnyWidthDrawAndTakeTheMouse)
{
    WriteScript({"a@1", "b@2", "c@3", "d@4"});
    Open();
    Pump();
    for (int width : {INT32_MAX, INT32_MIN, -1, 0, 100000}) {
        Form->Label0.Width = width;
        Form->Label3.Width = width;
        Move(10, 100);
        Move(90, 100);
        Pump();
        EXPECT_EQ(At(1, 140), 0x000000u) << width;
    }
}

// Enlarged, each frame is the 1× frame with every pixel an N × N block, and the mouse is mapped
// back: a position picks what the same point of the 1× window picks.
TEST_F(UiTest, AnEnlargedFrameIsTheOneTimesFrameScaledAndTheMouseMapsBack)
{
    WriteScript({"どちらへ行く？", "東へ@east", "西へ@west", "南へ@south", "北へ@north", "@east", "東へ行った。",
                 "@west", "西へ行った。", "@south", "南へ行った。", "@north", "北へ行った。"});
    Open();
    Click(60, 120);
    Move(RightColumn + 30, Line1 + 5);
    ASSERT_EQ(UnitRK::Rk.HotChoice, 3);
    const TRgbImage one = Screen();
    auto expectScaled = [&](int n, int left, int top) {
        TRgbImage big = Screen();
        int wrong = 0;
        for (int y = 0; y < big.Height; ++y)
            for (int x = 0; x < big.Width; ++x) {
                int fx = TFrameLayout::FloorDiv(x - left, n), fy = TFrameLayout::FloorDiv(y - top, n);
                bool inside = fx >= 0 && fy >= 0 && fx < one.Width && fy < one.Height;
                uint32_t want = inside ? one.Pixels[size_t(fy * one.Width + fx)] : Black;
                wrong += big.Pixels[size_t(y * big.Width + x)] != want;
            }
        EXPECT_EQ(wrong, 0) << "at " << n << "x";
    };

    Backend->SetView({3, false});
    Pump();
    int w = 0, h = 0;
    SDL_GetWindowSize(Backend->Window(), &w, &h);
    EXPECT_EQ(w, 3 * 154);
    EXPECT_EQ(h, 3 * 142);
    expectScaled(3, 0, 0);
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS), "6") << "a double click within 2 form pixels";
    // The last window column left of the fourth choice is still in the gap between the columns.
    Move(3 * RightColumn + 2, 3 * Line1);
    ASSERT_EQ(UnitRK::Rk.HotChoice, 3);
    Move(3 * RightColumn - 1, 3 * Line1);
    EXPECT_EQ(UnitRK::Rk.HotChoice, -1);
    // Only what changed was sent, all of it: the window holds what a whole new frame shows.
    const TRgbImage partly = Screen();
    Backend->SetView({3, false});
    Pump();
    EXPECT_EQ(Screen().Pixels, partly.Pixels);
    Move(3 * RightColumn, 3 * Line1);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 3);

    // Full screen: the largest scale that fits (here the 1024 × 768 of the offscreen display: 5),
    // centred on black; the margins are outside the form.
    Backend->SetView({3, true});
    Pump();
    SDL_GetWindowSize(Backend->Window(), &w, &h);
    int n = LargestFittingScale(154, 142, w, h);
    ASSERT_GT(n, 1);
    int left = (w - 154 * n) / 2, top = (h - 142 * n) / 2;
    EXPECT_GT(left + top, 0);
    expectScaled(n, left, top);
    Move(left - 1, top + n * Line1);
    EXPECT_EQ(UnitRK::Rk.HotChoice, 3) << "nothing under the mouse in the margin";
    Click(left + n * (TextLeft + 10), top + n * (Line1 + 40));  // the third choice's row
    EXPECT_FALSE(UnitRK::Rk.Choosing);
    UnitRK::AutoTick();
    EXPECT_EQ(MessageText(), "南へ行った。|");

    // Back in a window at 1×: the frame is as before, drawn straight into the window again.
    Backend->SetView({1, false});
    Pump();
    SDL_GetWindowSize(Backend->Window(), &w, &h);
    EXPECT_EQ(w, 154);
    EXPECT_EQ(h, 142);
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS), "2");
}

TEST_F(UiTest, CtrlPlusAndMinusChangeTheScaleAndF11OrAltEnterFullScreen)
{
    WriteScript({"一行目"});
    Open();
    const TRgbImage one = Screen();
    std::vector<TView> changes;
    Backend->ViewChanged = [&](const TView& view) { changes.push_back(view); };
    auto size = [&] {
        int w = 0, h = 0;
        SDL_GetWindowSize(Backend->Window(), &w, &h);
        return std::pair{w, h};
    };
    Tap(SDLK_EQUALS, KMOD_LCTRL);  // "+" shares its key with "="
    EXPECT_EQ(size(), std::pair(308, 284));
    Tap(SDLK_KP_PLUS, KMOD_RCTRL);
    EXPECT_EQ(size(), std::pair(462, 426));
    Tap(SDLK_MINUS, KMOD_LCTRL);
    Tap(SDLK_KP_MINUS, KMOD_LCTRL);
    Tap(SDLK_MINUS, KMOD_LCTRL);  // already 1×: no change
    EXPECT_EQ(size(), std::pair(154, 142));
    Tap(SDLK_MINUS);  // without Ctrl: a key of the story's
    EXPECT_EQ(Screen().Pixels, one.Pixels);
    // Larger only while the window still fits on the display (1024 × 768: 5×).
    for (int i = 0; i < 8; ++i)
        Tap(SDLK_PLUS, KMOD_LCTRL);
    EXPECT_EQ(size(), std::pair(5 * 154, 5 * 142));
    Tap(SDLK_F11);
    EXPECT_EQ(size(), std::pair(1024, 768));
    Tap(SDLK_PLUS, KMOD_LCTRL);  // full screen has no scale to choose
    Tap(SDLK_RETURN, KMOD_LALT);
    EXPECT_EQ(size(), std::pair(5 * 154, 5 * 142));
    EXPECT_EQ(MessageText(), "一行目|") << "none of these keys reached the story";
    std::vector<TView> expected = {{2, false}, {3, false}, {2, false}, {1, false}, {2, false},
                                   {3, false}, {4, false}, {5, false}, {5, true},  {5, false}};
    EXPECT_EQ(changes, expected);
    // "auto": the largest scale whose window fits in half the display's height (768 / 2 / 142).
    Backend->SetView({0, false});
    EXPECT_EQ(Backend->View().Scale, 2);
    EXPECT_EQ(size(), std::pair(308, 284));
}

// SDL asks for the D-Bus session bus as it starts. Only where libdbus could find or launch none
// is it told so, sparing the start a fork; wherever a bus can be had, it is left to find it.
TEST(StartUp, TheSessionBusIsSkippedOnlyWhereNoneCanBeFoundOrLaunched)
{
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/rk-bus-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    fs::create_directories(dir / "runtime");
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "empty");
    const std::string noProgram = (dir / "none" / "dbus-launch").string();
    const std::string path = "/nonexistent:" + (dir / "empty").string();

    EXPECT_TRUE(BusLaunchWouldFail(nullptr, nullptr, noProgram, path.c_str()));
    EXPECT_TRUE(BusLaunchWouldFail("", (dir / "runtime").c_str(), noProgram, nullptr));
    EXPECT_FALSE(BusLaunchWouldFail("unix:path=/run/user/1000/bus", nullptr, noProgram, path.c_str()));

    // The user's bus in the runtime folder, as systemd makes it.
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (dir / "runtime" / "bus").c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_FALSE(BusLaunchWouldFail(nullptr, (dir / "runtime").c_str(), noProgram, path.c_str()));
    close(listener);

    // A dbus-launch that could run, at its own place or along PATH; a file that cannot run is none.
    const fs::path launcher = dir / "bin" / "dbus-launch";
    std::ofstream(launcher) << "#!/bin/sh\n";
    EXPECT_TRUE(BusLaunchWouldFail(nullptr, nullptr, launcher.string(), path.c_str()));
    fs::permissions(launcher, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_FALSE(BusLaunchWouldFail(nullptr, nullptr, launcher.string(), path.c_str()));
    EXPECT_FALSE(BusLaunchWouldFail(nullptr, nullptr, noProgram, (path + ":" + (dir / "bin").string()).c_str()));
    // One in the story's folder, found through a relative PATH entry first, is not to be run.
    const fs::path before = fs::current_path();
    fs::current_path(dir / "bin");
    EXPECT_TRUE(BusLaunchWouldFail(nullptr, nullptr, noProgram, (":" + path).c_str()));
    EXPECT_TRUE(BusLaunchWouldFail(nullptr, nullptr, noProgram, (".:" + (dir / "bin").string()).c_str()));
    EXPECT_FALSE(BusLaunchWouldFail(nullptr, nullptr, noProgram, ((dir / "bin").string() + ":").c_str()));
    fs::current_path(before);
    fs::remove_all(dir);
}

// The empty compose table is for SDL's start alone: the person's own setting comes back after it.
TEST(StartUp, TheComposeTableIsLeftOutOnlyWhileSdlStarts)
{
    setenv("XCOMPOSEFILE", "/home/someone/.XCompose-ja", 1);
    {
        TNoComposeTable noCompose;
        EXPECT_STREQ(std::getenv("XCOMPOSEFILE"), "/dev/null");
    }
    EXPECT_STREQ(std::getenv("XCOMPOSEFILE"), "/home/someone/.XCompose-ja");
    unsetenv("XCOMPOSEFILE");
    {
        TNoComposeTable noCompose;
        EXPECT_STREQ(std::getenv("XCOMPOSEFILE"), "/dev/null");
    }
    EXPECT_EQ(std::getenv("XCOMPOSEFILE"), nullptr);
}

// A picture too large to keep whole (an enhanced metafile whose frame is 3.2 x 4.1 metres) keeps
// only the part the panel shows of its middle, and shows it there.
TEST_F(UiTest, APictureKeptInPartShowsWhereThePanelCutsIt)
{
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto record = [&](uint32_t type, std::initializer_list<uint32_t> params) {
        std::string r = le32(type) + le32(uint32_t(8 + 4 * params.size()));
        for (uint32_t p : params)
            r += le32(p);
        return r;
    };
    // A red brush over everything, then the stock white brush for a 20-pixel circle in the middle.
    std::string body = record(39, {1, 0, 0x0000FF, 0}) + record(37, {1}) + record(43, {0, 0, 12094, 15496}) +
                       record(37, {0x80000000}) + record(42, {6037, 7738, 6057, 7758}) + record(14, {0, 16, 20});
    std::string header = le32(1) + le32(88) + le32(0) + le32(0) + le32(12093) + le32(15495) + le32(0) + le32(0) +
                         le32(319987) + le32(410006) + le32(0x464D4520) + le32(0x10000) +
                         le32(uint32_t(88 + body.size())) + le32(6) + le32(2) + le32(0) + le32(0) + le32(0) +
                         le32(960) + le32(480) + le32(254) + le32(127);
    WriteScript({"#Cg pic.emf", "絵の下の行"});
    WriteFile("dat/pic.emf", header + body);
    Open();
    UnitRK::AutoTick();
    Pump();
    ASSERT_TRUE(Form->Image1.Visible);
    EXPECT_EQ(Form->Image1.Width, 12094);
    // The panel's middle (it sits one pixel up and left) is the picture's.
    EXPECT_EQ(At(77, 47), White);
    EXPECT_EQ(At(5, 5), 0xFF0000u);
}
