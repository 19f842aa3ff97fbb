// Figures for music and the main loop: time from "#Midi" to the first sound, the soundfont's
// load time, the silence before a looping piece restarts, and the CPU the idle main loop uses
// while the demo's music plays, after it, and in a story without music. Output goes to SDL's disk
// driver (discarded, at the pace of a sound card) unless SDL_AUDIODRIVER says otherwise.
#include "BenchFigure.h"
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciDevice.h"
#include "sound/MyMidi.h"
#include "timing/MyTime.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void PutBe(std::string& s, uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A format 0 piece: `notes` piano notes of `noteTicks` each, then a rest of `restTicks`.
std::string Piece(int notes, int noteTicks, int restTicks)
{
    auto vlq = [](std::string& s, uint32_t v) {
        std::string b(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            b.insert(b.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        s += b;
    };
    std::string t;
    t += std::string("\x00\xC0\x00", 3);
    for (int i = 0; i < notes; ++i) {
        t += std::string("\x00\x90", 2) + static_cast<char>(60 + i) + static_cast<char>(100);
        vlq(t, static_cast<uint32_t>(noteTicks));
        t += std::string("\x80", 1) + static_cast<char>(60 + i) + std::string("\x00", 1);
    }
    vlq(t, static_cast<uint32_t>(restTicks));
    t += std::string("\xFF\x2F\x00", 3);
    std::string f = "MThd";
    PutBe(f, 6, 4);
    PutBe(f, 0, 2);
    PutBe(f, 1, 2);
    PutBe(f, 480, 2);
    f += "MTrk";
    PutBe(f, static_cast<uint32_t>(t.size()), 4);
    return f + t;
}

// Watches the mixed output: the time of the first non-silent buffer, and the onsets of notes
// (a loud buffer after a quiet one).
struct TOutputWatch {
    std::mutex Lock;
    bool Armed = false;
    Clock::time_point FirstSound{};
    bool Heard = false;
    bool WasQuiet = true;
    std::vector<Clock::time_point> Onsets;
};
TOutputWatch Watch;

void SDLCALL PostMix(void*, Uint8* stream, int len)
{
    const int16_t* s = reinterpret_cast<const int16_t*>(stream);
    int peak = 0;
    for (int i = 0; i < len / 2; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    std::lock_guard<std::mutex> guard(Watch.Lock);
    if (!Watch.Armed)
        return;
    auto now = Clock::now();
    // A note, not the synthesiser's dither (which makes +-1 samples from the first buffer on).
    if (peak > 1000 && !Watch.Heard) {
        Watch.Heard = true;
        Watch.FirstSound = now;
    }
    if (peak > 2000 && Watch.WasQuiet)
        Watch.Onsets.push_back(now);
    Watch.WasQuiet = peak < 300;
}

void Arm()
{
    std::lock_guard<std::mutex> guard(Watch.Lock);
    Watch.Armed = true;
    Watch.Heard = false;
    Watch.WasQuiet = true;
    Watch.Onsets.clear();
}

double MsToFirstSound(Clock::time_point t0)
{
    for (int i = 0; i < 400; ++i) {
        {
            std::lock_guard<std::mutex> guard(Watch.Lock);
            if (Watch.Heard)
                return std::chrono::duration<double, std::milli>(Watch.FirstSound - t0).count();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

// A window system with no events: waiting sleeps; a quit message arrives after `RunMs`.
class TIdleBackend : public TUiBackend {
public:
    explicit TIdleBackend(int runMs) : Start(Clock::now()), RunMs(runMs) {}
    void CollectEvents(TApplication& app) override
    {
        ++Passes;
        if (!Quit && MsSince(Start) >= RunMs) {
            Quit = true;
            app.Terminate();
        }
    }
    void WaitForEvent(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void Present() override {}
    void ShowMessageBox(const std::string&, const std::string&, TMessageIcon) override {}
    long Passes = 0;

private:
    Clock::time_point Start;
    int RunMs;
    bool Quit = false;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void RunLoop(int ms, long& passes)
{
    TIdleBackend backend(ms);
    Application().Reset();
    Application().SetBackend(&backend);
    MyTime::ResetTimers();
    MyTime::TimerInit();
    MyTime::SetTimerInterval(2, 100);
    MyTime::MainLoop();
    Application().SetBackend(nullptr);
    passes = backend.Passes;
}

}  // namespace

int main()
{
    setenv("SDL_AUDIODRIVER", getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
    char dirTemplate[] = "/tmp/rk-bench-sound-XXXXXX";
    std::filesystem::path dir = mkdtemp(dirTemplate);
    std::filesystem::current_path(dir);
    std::filesystem::create_directories("dat");
    std::ofstream("dat/bgm.mid", std::ios::binary) << Piece(4, 480, 0);
    // Half a second of note, half a second of rest: the tail has died down before the restart.
    std::ofstream("dat/loop.mid", std::ios::binary) << Piece(1, 480, 480);
    std::printf("audio driver: %s\n", getenv("SDL_AUDIODRIVER"));

    // 1. Cold: the first "#Midi" opens the device and loads the soundfont.
    Arm();
    auto t0 = Clock::now();
    MyMidi::MidiPlay("dat\\bgm.mid", true);
    double callMs = MsSince(t0);
    Mix_SetPostMix(PostMix, nullptr);
    double firstMs = MsToFirstSound(t0);
    std::printf("first #Midi (device closed): MidiPlay returns after %.1f ms, first sound after %.1f ms\n", callMs,
                firstMs);
    PrintFigure("first #Midi to its first sound, audio device closed", firstMs, "ms", std::nullopt);

    // 2. Warm: device open; every new piece loads its own synthesiser and soundfont, on the
    //    loading thread, so "open" returns at once and the load shows in the first sound.
    for (int i = 0; i < 3; ++i) {
        MyMidi::MidiClose();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Arm();
        t0 = Clock::now();
        Audio::MciSendString("open dat\\bgm.mid alias Midi1", nullptr, 0);
        double openMs = MsSince(t0);
        Audio::MciSendString("play Midi1 notify", nullptr, 0);
        MyMidi::MidiState = 1;
        std::printf(
            "#Midi with device open: open returns after %.1f ms, first sound (soundfont load included) after %.1f ms\n",
            openMs, MsToFirstSound(t0));
    }
    char reply[32];
    t0 = Clock::now();
    for (int i = 0; i < 1000; ++i)
        Audio::MciSendString("status Midi1 mode", reply, 31);
    double statusUs = MsSince(t0);
    std::printf("status Midi1 mode: %.2f us per call\n", statusUs);
    PrintFigure("status of the music (the poll of each timer tick)", statusUs, "us", std::nullopt, 2);
    MyMidi::MidiClose();

    // 3. Looping: the silence between the end of the piece's events and its restart.
    std::vector<Clock::time_point> plays;
    MyMidi::SetMciSink([&plays](const std::string& command, char* reply, uint32_t length) {
        if (command.rfind("play", 0) == 0)
            plays.push_back(Clock::now());
        return Audio::MciSendString(command, reply, length);
    });
    Arm();
    MyMidi::MidiPlay("dat\\loop.mid", true);
    long passes = 0;
    RunLoop(4700, passes);
    MyMidi::SetMciSink(nullptr);
    {
        std::lock_guard<std::mutex> guard(Watch.Lock);
        auto ms = [](Clock::time_point a, Clock::time_point b) {
            return std::chrono::duration<double, std::milli>(b - a).count();
        };
        // Each play's note is the first onset after its command.
        Clock::time_point previous{};
        std::vector<double> restarts;
        for (size_t i = 0; i < plays.size(); ++i) {
            auto onset = std::find_if(Watch.Onsets.begin(), Watch.Onsets.end(),
                                      [&](Clock::time_point t) { return t >= plays[i]; });
            if (onset == Watch.Onsets.end())
                break;
            std::printf("play %zu: first note %.1f ms after the command", i, ms(plays[i], *onset));
            if (i > 0) {
                restarts.push_back(ms(previous, *onset) - 1000);
                std::printf("; restarted %.1f ms after the 1000 ms piece ended", restarts.back());
            }
            std::printf("\n");
            previous = *onset;
        }
        if (!restarts.empty())
            PrintFigure("looping music: silence before it restarts, median", Median(restarts), "ms", std::nullopt);
    }

    // 4. The idle main loop, as it waits for a click: two timers of 100 ms, no events. First with
    // the demo's music looping, timed from its first sound; then with the music closed and the
    // audio device left open (the mixer keeps producing silence), as after a story's music; then
    // with the device closed, as in a story without music.
    MyMidi::MidiClose();
    std::filesystem::copy_file(RK_DEMO_DIR "/dat/bgm.mid", "dat/demo.mid");
    Arm();
    t0 = Clock::now();
    MyMidi::MidiPlay("dat\\demo.mid", true);
    MsToFirstSound(t0);
    // Waiting for a click should cost next to nothing; music costs what its synthesis costs.
    const struct {
        const char* Printed;
        const char* Figure;
        double GoalPercent;
    } idle[] = {
        {"the demo's music playing", "idle CPU over 5 s, the demo's music playing", 5},
        {"music closed, audio device open", "idle CPU over 5 s, music ended (audio device left open)", 1},
        {"audio device closed", "idle CPU over 5 s, a story without music (audio device closed)", 1},
    };
    for (const auto& state : idle) {
        if (&state == &idle[1])
            MyMidi::MidiClose();
        if (&state == &idle[2])
            Audio::CloseAudio();
        double cpu0 = CpuSeconds();
        t0 = Clock::now();
        RunLoop(5000, passes);
        double wall = MsSince(t0) / 1000;
        double cpu = CpuSeconds() - cpu0;
        std::printf("idle MainLoop, %s, over %.2f s: %ld passes, CPU %.3f s = %.2f%% of one core\n", state.Printed,
                    wall, passes, cpu, 100 * cpu / wall);
        PrintFigure(state.Figure, 100 * cpu / wall, "% of a core", state.GoalPercent, 2);
    }
    MyMidi::MidiClose();

    Audio::CloseAudio();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
