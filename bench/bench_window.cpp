// Figures for the window: start to the first frame on screen, a click to its text on screen,
// and the peak memory with the demo's music playing. Uses the X display when DISPLAY is set,
// SDL's offscreen driver otherwise; sound goes to SDL's dummy driver unless SDL_AUDIODRIVER says
// otherwise. Goals: first frame under 100 ms, click to text under 16 ms, peak under 100 MB.
#include "BenchFigure.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/SdlBackend.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"
#include "timing/MyTime.h"
#include "ui/MyCg.h"
#include "ui/Unit2.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

long VmHwmKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// A copy of the demo story whose script is the demo's first lines followed by many message lines.
std::string MakeStory()
{
    char pattern[] = "/tmp/rk-bench-window-XXXXXX";
    std::string dir = mkdtemp(pattern);
    fs::copy(std::string(RK_DEMO_DIR) + "/dat", dir + "/dat", fs::copy_options::recursive);
    std::string script = Sjis::FromUtf8("#Midi bgm.mid\r\n#Cg station.jpg\r\n");
    for (int i = 0; i < 400; ++i)
        script += Sjis::FromUtf8("夜の駅に着いた。その" + std::to_string(i) + "\r\n");
    std::ofstream(dir + "/dat/1.txt", std::ios::binary) << script;
    return dir;
}

void Click(TSdlBackend& backend, int x, int y)
{
    for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = SDL_GetWindowID(backend.Window());
        e.button.button = SDL_BUTTON_LEFT;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
}

}  // namespace

int main()
{
    auto start = Clock::now();
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (!std::getenv("SDL_AUDIODRIVER"))
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string dir = MakeStory();
    fs::current_path(dir);

    TApplication& app = Application();
    app.Title = "zv_rk";
    // The sound units' share of the start, timed apart: the first "#Midi" loads the soundfont.
    static double soundMs = 0;
    auto timed = [](auto f) {
        return [f](auto&&... args) {
            auto s0 = Clock::now();
            f(args...);
            soundMs += MsSince(s0);
        };
    };
    UnitRK::Services.MidiPlay = timed(MyMidi::MidiPlay);
    UnitRK::Services.MidiClose = timed(MyMidi::MidiClose);
    UnitRK::Services.WavePlay = timed(MyWave::WavePlay);
    UnitRK::Services.WaveStop = timed(MyWave::WaveStop);
    UnitRK::Services.LoadPictureFile = MyCg::LoadPictureFile;
    {
        auto t0 = Clock::now();
        TSdlBackend backend;
        double videoMs = MsSince(t0);
        app.SetBackend(&backend);
        TForm1 form;
        form.OnPaint = nullptr;  // the timers are driven below, step by step
        app.Guard([&] { form.FormCreate(); });
        double createMs = MsSince(t0);
        backend.OpenWindow(form);
        app.ProcessMessages();
        double firstFrameMs = MsSince(t0);
        std::printf("video driver: %s\n", SDL_GetCurrentVideoDriver());
        std::printf("start to first frame: %.1f ms (SDL video and fonts %.1f ms, FormCreate done at %.1f ms, of "
                    "which music and sound calls %.1f ms; %.1f ms since main)\n",
                    firstFrameMs, videoMs, createMs, soundMs, MsSince(start));
        PrintFigure("window start to first frame, libraries already loaded", firstFrameMs, "ms", 100);

        // The two commands at the top run on timer ticks; then each click shows one line.
        UnitRK::AutoTick();
        UnitRK::AutoTick();
        app.ProcessMessages();
        std::vector<double> clicks;
        for (int i = 0; i < 300; ++i) {
            std::string before = form.LabMain.Caption;
            auto c0 = Clock::now();
            Click(backend, 60, 120);
            app.ProcessMessages();  // the click, Advance, and the redraw on screen
            clicks.push_back(MsSince(c0));
            if (form.LabMain.Caption == before)
                std::printf("warning: click %d showed nothing new\n", i);
        }
        std::sort(clicks.begin(), clicks.end());
        std::printf("click to text on screen: median %.3f ms, 95th percentile %.3f ms, max %.3f ms (%zu clicks)\n",
                    clicks[clicks.size() / 2], clicks[clicks.size() * 95 / 100], clicks.back(), clicks.size());
        PrintFigure("click to frame, median of 300", clicks[clicks.size() / 2], "ms", 16, 3);

        // Music playing for a while, polled as the main loop would.
        auto m0 = Clock::now();
        while (MsSince(m0) < 1500) {
            app.ProcessMessages();
            MyMidi::MidiPoll();
            app.WaitForEvent(20);
        }
        std::printf("music state while playing: %d\n", MyMidi::MidiState);
        std::printf("peak memory (VmHWM) with music playing: %.1f MB\n", VmHwmKb() / 1024.0);
        PrintFigure("peak memory with music playing", VmHwmKb() / 1024.0, "MB", 100);
        MyWave::WaveStop();
        MyMidi::MidiClose();
        backend.CloseWindow();
        app.SetBackend(nullptr);
    }
    SDL_Quit();
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}
