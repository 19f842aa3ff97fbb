#include "UiFixture.h"

#include "engine/UnitRK.h"
#include "platform/ShiftJis.h"
#include "timing/MyTime.h"
#include "ui/MyCg.h"

#include <SDL_image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

TRgbImage ReadSurface(SDL_Surface* surface)
{
    TRgbImage image;
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_XRGB8888, 0);
    if (!copy)
        return image;
    image.Width = copy->w;
    image.Height = copy->h;
    for (int y = 0; y < copy->h; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(copy->pixels) + y * copy->pitch);
        for (int x = 0; x < copy->w; ++x)
            image.Pixels.push_back(row[x] & 0xFFFFFF);
    }
    SDL_FreeSurface(copy);
    return image;
}

std::string TinyBitmap()
{
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string pixels;
    for (int i = 0; i < 4; ++i)
        pixels += std::string("\xFF\x00\x00", 3);  // blue (B, G, R)
    for (int i = 0; i < 4; ++i)
        pixels += std::string("\x00\x00\xFF", 3);  // red
    return "BM" + le32(54 + uint32_t(pixels.size())) + le32(0) + le32(54) + le32(40) + le32(4) + le32(2) + le16(1) +
           le16(24) + le32(0) + le32(uint32_t(pixels.size())) + le32(2835) + le32(2835) + le32(0) + le32(0) + pixels;
}

void UiTest::SetUp()
{
    char pattern[] = "/tmp/rk-ui-XXXXXX";
    Dir = mkdtemp(pattern);
    OldDir = fs::current_path().string();
    fs::current_path(Dir);
    Application().Reset();
    Application().Title = "zv_rk";
    UnitRK::Rk = UnitRK::TEngineState{};
    UnitRK::Services = UnitRK::IdleServices();
    UnitRK::Services.LoadPictureFile = MyCg::LoadPictureFile;
    MyTime::ResetTimers();
    Backend = std::make_unique<TSdlBackend>();
    Backend->MessageBoxShown = [this](SDL_Window* box) {
        Boxes.push_back({SDL_GetWindowTitle(box), ReadSurface(SDL_GetWindowSurface(box)),
                         Backend->Window() ? ReadSurface(SDL_GetWindowSurface(Backend->Window())) : TRgbImage{}});
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.windowID = SDL_GetWindowID(box);
        key.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&key);
    };
    Application().SetBackend(Backend.get());
}

void UiTest::TearDown()
{
    if (Backend)
        Backend->CloseWindow();
    Form.reset();
    Form1 = nullptr;
    Application().SetBackend(nullptr);
    Backend.reset();
    Application().Reset();
    UnitRK::Rk = UnitRK::TEngineState{};
    UnitRK::Services = UnitRK::IdleServices();
    fs::current_path(OldDir);
    std::error_code ec;
    fs::remove_all(Dir, ec);
}

void UiTest::WriteFile(const std::string& relative, const std::string& bytes)
{
    fs::path p = fs::path(Dir) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

void UiTest::WriteScript(const std::vector<std::string>& utf8Lines)
{
    std::string bytes;
    for (const std::string& line : utf8Lines)
        bytes += Sjis::FromUtf8(line) + "\r\n";
    WriteFile("dat/1.txt", bytes);
}

void UiTest::Open()
{
    Form = std::make_unique<TForm1>();
    Form1 = Form.get();
    Form->OnPaint = nullptr;
    if (FormMade)
        FormMade();
    Application().Guard([&] { Form->FormCreate(); });
    Backend->OpenWindow(*Form);
    Pump();
}

void UiTest::Press(int x, int y, Uint8 button, Uint8 clicks)
{
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button = SDL_MouseButtonEvent{
        SDL_MOUSEBUTTONDOWN, 0, SDL_GetWindowID(Backend->Window()), 0, button, SDL_PRESSED, clicks, 0, x, y};
    SDL_PushEvent(&e);
}

void UiTest::Release(int x, int y, Uint8 button, Uint8 clicks)
{
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONUP;
    e.button = SDL_MouseButtonEvent{
        SDL_MOUSEBUTTONUP, 0, SDL_GetWindowID(Backend->Window()), 0, button, SDL_RELEASED, clicks, 0, x, y};
    SDL_PushEvent(&e);
}

void UiTest::Move(int x, int y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(Backend->Window());
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
    Pump();
}

void UiTest::Key(SDL_Keycode key, bool down, Uint16 mod)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = SDL_GetWindowID(Backend->Window());
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

TRgbImage UiTest::Screen() const { return ReadSurface(SDL_GetWindowSurface(Backend->Window())); }

uint32_t UiTest::At(int x, int y) const
{
    TRgbImage s = Screen();
    return s.Pixels.at(size_t(y) * size_t(s.Width) + size_t(x));
}

int UiTest::Count(int x, int y, int w, int h, uint32_t color) const
{
    TRgbImage s = Screen();
    int n = 0;
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            n += s.Pixels.at(size_t(row) * size_t(s.Width) + size_t(col)) == color;
    return n;
}

void UiTest::ExpectMatchesReference(const std::string& name) const
{
    std::string path = std::string(RK_UI_REFERENCE_DIR) + "/" + name + ".png";
    SDL_Surface* window = SDL_GetWindowSurface(Backend->Window());
    const char* update = std::getenv("RK_UPDATE_REFERENCES");
    if (update && std::string(update) == "1") {
        ASSERT_EQ(IMG_SavePNG(window, path.c_str()), 0) << IMG_GetError();
        return;
    }
    SDL_Surface* reference = IMG_Load(path.c_str());
    ASSERT_NE(reference, nullptr) << path << ": " << IMG_GetError() << " (RK_UPDATE_REFERENCES=1 writes it)";
    TRgbImage expected = ReadSurface(reference);
    SDL_FreeSurface(reference);
    TRgbImage actual = ReadSurface(window);
    ASSERT_EQ(actual.Width, expected.Width);
    ASSERT_EQ(actual.Height, expected.Height);
    int differing = 0, firstX = -1, firstY = -1;
    for (int i = 0; i < actual.Width * actual.Height; ++i)
        if (actual.Pixels[size_t(i)] != expected.Pixels[size_t(i)] && differing++ == 0) {
            firstX = i % actual.Width;
            firstY = i / actual.Width;
        }
    if (differing) {
        std::string saved = std::string(Dir) + "/../" + name + ".actual.png";
        IMG_SavePNG(window, saved.c_str());
        ADD_FAILURE() << name << ": " << differing << " pixels differ, the first at " << firstX << "," << firstY
                      << "; this run's picture: " << saved;
    }
}

std::string UiTest::MessageText() const { return Sjis::ToUtf8(Sjis::ReplaceAll(Form->LabMain.Caption, "\r\n", "|")); }
