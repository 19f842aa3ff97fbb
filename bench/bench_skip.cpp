// Figures for skipping what was read: the time of one skipped step, from the timer's step to the
// frame on screen, over a 9999-line script without labels (the longest section a line's key is
// looked up in), while the record of seen lines grows and is written as it would be. Uses the X
// display when DISPLAY is set, SDL's offscreen driver otherwise. Goal: under 2 ms a step.
#include "BenchFigure.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/ShiftJis.h"
#include "platform/sdl/SdlBackend.h"
#include "reader/Pacer.h"
#include "timing/MyTime.h"
#include "ui/Unit2.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main()
{
    char pattern[] = "/tmp/rk-bench-skip-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    fs::create_directories(dir + "/dat");
    std::string script;
    for (int i = 0; i < 9998; ++i)
        script += Sjis::FromUtf8("窓の外を見ると、街は灰色だった。その" + std::to_string(i % 50) + "\r\n");
    std::ofstream(dir + "/dat/1.txt", std::ios::binary) << script;
    fs::current_path(dir);

    TApplication& app = Application();
    app.Title = "zv_rk";
    // The clock moves a step's length at every reading: the skipping timer is due at every pass.
    uint32_t now = 0;
    MyTime::SetClock([&] { return now += TPacer::SkipStepMs + 1; });
    constexpr int Steps = 5000;
    double ms = 0;
    int steps = 0;
    std::string driver;
    {
        TSdlBackend backend;
        app.SetBackend(&backend);
        TForm1 form;
        form.OnPaint = nullptr;
        TPaceSettings settings;
        settings.SkipUnseen = true;  // every line is passed, as lines read before are
        TPacer reader(form, settings, dir + "/state", nullptr);
        app.Guard([&] { form.FormCreate(); });
        backend.OpenWindow(form);
        app.ProcessMessages();
        SDL_Event tab{};
        tab.type = SDL_KEYDOWN;
        tab.key.windowID = SDL_GetWindowID(backend.Window());
        tab.key.keysym.sym = SDLK_TAB;
        SDL_PushEvent(&tab);
        int first = UnitRK::Rk.CurLine;
        form.OnPaint = [&](TControl&) {};
        auto t0 = Clock::now();
        // The main loop ends once the steps are taken.
        MyTime::SetTimerWork(6, [&] {
            if (UnitRK::Rk.CurLine - first >= Steps)
                app.Terminate();
        });
        MyTime::SetTimerInterval(6, 1);
        MyTime::MainLoop();
        ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        steps = UnitRK::Rk.CurLine - first;
        driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "none";
        backend.CloseWindow();
        app.SetBackend(nullptr);
    }
    std::printf("video driver: %s; %d steps in %.1f ms\n", driver.c_str(), steps, ms);
    PrintFigure("one skipped step, to the frame (9999 lines, no labels)", steps > 0 ? ms / steps : 0, "ms", 2.0, 2);
    fs::current_path("/");
    fs::remove_all(dir);
    SDL_Quit();
    return 0;
}
