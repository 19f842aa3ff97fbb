// The soak: a story played for a long time by the real program under its real main loop, on SDL's
// offscreen video driver and its disk audio driver (the music synthesised and written away), with
// a click every 150 ms: on the text, on a random choice at a menu, now and then on the data menu
// to save or load, and at an ending on the data menu's caption for a while before a load takes the
// story back. Memory (VmRSS) and open file descriptors are read at the start and at the end;
// the run fails when either has grown past its noise.
//   zv_rk_soak STORY_FOLDER SECONDS
// The story is played in a temporary copy of its folder, so that its saves land there.
//
// What counts as noise. Memory is read every five seconds. A story's first minutes take memory
// that stays for good: the fonts' glyphs, the soundfont, the decoders, the allocator's heaps as
// each picture, save and music load comes for the first time; in 600-second runs of the demo it
// rose in steps of up to 1 MB, most of them at loads (each of which loads the music again), and
// levelled off within five minutes. So the start is taken after the first third of the run,
// and each end is judged by the samples of a whole minute: the median of its memory figures, and
// the fewest descriptors open at any of its samples, since a descriptor open for a moment (a save
// being written, a music file being read) is not open at every sample. Memory may grow by NoiseKb,
// one more such step and as much again; descriptors may not grow at all.
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/audio/AudioDevice.h"
#include "platform/audio/MciDevice.h"
#include "platform/sdl/SdlBackend.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"
#include "timing/MyTime.h"
#include "ui/MyCg.h"
#include "ui/Unit2.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int ClickTimer = 3;  // a timer of the main loop's that has no work of its own
constexpr int ClickMs = 150;
constexpr double SampleSeconds = 5;
constexpr double WindowSeconds = 60;  // the samples each end of the run is judged by
// At an ending the player rests on the data menu for a while, the music playing on and looping,
// before a load takes the story back.
constexpr double RestSeconds = 30;
constexpr long NoiseKb = 2048;

struct TSample {
    double Seconds;
    long RssKb;
    long Fds;
};

long RssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

long OpenFds()
{
    long n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n - 1;  // the listing's own
}

struct TCounts {
    long Clicks = 0, Choices = 0, Saves = 0, Loads = 0, MusicRestarts = 0, Errors = 0;
} Counts;

class TSoak {
public:
    TSoak(TSdlBackend& backend, TForm1& form, double seconds) : Backend(backend), Form(form), Seconds(seconds) {}

    // The click timer's work: one click, and now and then a sample.
    void Tick()
    {
        const double now = Now = std::chrono::duration<double>(Clock::now() - Started).count();
        if (now >= NextSample) {
            Samples.push_back({now, RssKb(), OpenFds()});
            // A line a minute, for whoever watches a long run.
            if (Samples.size() % size_t(60 / SampleSeconds) == 1)
                std::printf("%5.0f s: VmRSS %.1f MB, %ld open file descriptors\n", now, Samples.back().RssKb / 1024.0,
                            Samples.back().Fds);
            std::fflush(stdout);
            NextSample += SampleSeconds;
        }
        if (now >= Seconds) {
            Application().Terminate();
            return;
        }
        Act();
    }

    const std::vector<TSample>& Figures() const { return Samples; }

private:
    void Click(const TControl& control, Uint8 button = SDL_BUTTON_LEFT)
    {
        const int x = std::clamp(control.ScreenLeft() + control.Width / 2, 0, Form.Width - 1);
        const int y = std::clamp(control.ScreenTop() + control.Height / 2, 0, Form.Height - 1);
        for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
            SDL_Event e{};
            e.type = type;
            e.button.windowID = SDL_GetWindowID(Backend.Window());
            e.button.button = button;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = x;
            e.button.y = y;
            SDL_PushEvent(&e);
        }
        ++Counts.Clicks;
    }

    bool AnySlot() const
    {
        for (int n = 0; n < UnitRK::LoadSlotCount; ++n)
            if (fs::exists(UnitRK::SlotFileName(n)))
                return true;
        return false;
    }

    // Where the story cannot go on by clicks: halted, or about to end the program.
    bool AtAnEnd() const
    {
        using UnitRK::Rk;
        std::string arg;
        return Rk.Stopped || (Rk.CurLine >= 0 && Rk.CurLine < Rk.LineTotal &&
                              UnitRK::CommandOf(Rk.ScriptLines[Rk.CurLine], arg) == UnitRK::TCommand::End);
    }

    void Act()
    {
        using UnitRK::Rk;
        auto chance = [&](int oneIn) { return Random() % uint32_t(oneIn) == 0; };
        if (Form.Page2.Visible) {
            if (Now < RestUntil) {
                Click(Form.Label8);  // the menu's caption, which answers no click
                return;
            }
            // The data menu was opened for a save or a load: click one of its buttons.
            TButton* saves[] = {&Form.ButSave0, &Form.ButSave1, &Form.ButSave2};
            std::vector<TButton*> loads;
            for (TButton* b : {&Form.ButLoad0, &Form.ButLoad1, &Form.ButLoad2})
                if (b->Visible)
                    loads.push_back(b);
            if (WantLoad && !loads.empty()) {
                Click(*loads[Random() % loads.size()]);
                ++Counts.Loads;
            } else {
                Click(*saves[Random() % 3]);
                ++Counts.Saves;
            }
            return;
        }
        if (Rk.AutoNext) {
            Click(Form.LabMain);  // commands still run on the story's own timer: a click changes nothing
            return;
        }
        const bool atEnd = AtAnEnd();
        if (atEnd || (Rk.Choosing && chance(8)) || chance(25)) {
            WantLoad = atEnd || (AnySlot() && chance(2));
            RestUntil = atEnd ? Now + RestSeconds : 0;
            Click(Form.LabMain, SDL_BUTTON_RIGHT);
            return;
        }
        if (Rk.Choosing) {
            std::vector<TLabel*> shown;
            for (TLabel* l : {&Form.Label0, &Form.Label1, &Form.Label2, &Form.Label3, &Form.Label4, &Form.Label5})
                if (l->Visible)
                    shown.push_back(l);
            if (!shown.empty()) {
                Click(*shown[Random() % shown.size()]);
                ++Counts.Choices;
                return;
            }
        }
        Click(Form.LabMain);
    }

    TSdlBackend& Backend;
    TForm1& Form;
    double Seconds;
    Clock::time_point Started = Clock::now();
    double NextSample = 0;
    double Now = 0;
    double RestUntil = 0;
    std::vector<TSample> Samples;
    std::mt19937 Random{20240601};
    bool WantLoad = false;
};

// The samples of the minute after `from` seconds.
std::vector<TSample> Window(const std::vector<TSample>& samples, double from)
{
    std::vector<TSample> out;
    for (const TSample& s : samples)
        if (s.Seconds >= from && s.Seconds < from + WindowSeconds)
            out.push_back(s);
    return out;
}

long MedianRss(std::vector<TSample> samples)
{
    std::sort(samples.begin(), samples.end(), [](const TSample& a, const TSample& b) { return a.RssKb < b.RssKb; });
    return samples[samples.size() / 2].RssKb;
}

long FewestFds(const std::vector<TSample>& samples)
{
    long fewest = samples.front().Fds;
    for (const TSample& s : samples)
        fewest = std::min(fewest, s.Fds);
    return fewest;
}

std::string CopyStory(const std::string& story)
{
    if (!fs::is_directory(fs::path(story) / "dat"))
        throw std::runtime_error("no dat folder there");
    std::string dir = (fs::temp_directory_path() / "rk-soak-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        throw std::runtime_error("cannot make a temporary folder");
    try {
        fs::copy(fs::path(story) / "dat", fs::path(dir) / "dat", fs::copy_options::recursive);
    } catch (...) {
        std::error_code ec;
        fs::remove_all(dir, ec);
        throw;
    }
    return dir;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::atof(argv[2]) < 3 * WindowSeconds) {
        std::fprintf(stderr, "usage: %s STORY_FOLDER SECONDS (at least %.0f)\n", argv[0], 3 * WindowSeconds);
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const double warmUp = std::max(WindowSeconds, seconds / 3);
    std::string dir;
    try {
        dir = CopyStory(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zv_rk_soak: %s: %s\n", argv[1], e.what());
        return 1;
    }
    fs::current_path(dir);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);  // written in real time, as a sound card plays it

    TApplication& app = Application();
    app.Title = "zv_rk";
    // The real units, as the program binds them; the music's commands are counted on their way.
    MyMidi::SetMciSink([](const std::string& command, char* reply, uint32_t replyLength) {
        if (command == "play Midi1 from 0")
            ++Counts.MusicRestarts;
        return Audio::MciSendString(command, reply, replyLength);
    });
    UnitRK::Services.MidiPlay = MyMidi::MidiPlay;
    UnitRK::Services.MidiClose = MyMidi::MidiClose;
    UnitRK::Services.WavePlay = MyWave::WavePlay;
    UnitRK::Services.WaveStop = MyWave::WaveStop;
    UnitRK::Services.LoadPictureFile = MyCg::LoadPictureFile;

    std::vector<TSample> figures;
    int status = 0;
    try {
        TSdlBackend backend;
        app.SetBackend(&backend);
        // Error reports are counted and never wait for a person.
        backend.MessageBoxShown = [&](SDL_Window* box) {
            ++Counts.Errors;
            SDL_Event key{};
            key.type = SDL_KEYDOWN;
            key.key.windowID = SDL_GetWindowID(box);
            key.key.keysym.sym = SDLK_RETURN;
            SDL_PushEvent(&key);
        };
        {
            TForm1 form;
            Form1 = &form;
            TSoak soak(backend, form, seconds);
            app.Guard([&] { form.FormCreate(); });
            MyTime::SetTimerWork(ClickTimer, [&soak] { soak.Tick(); });
            MyTime::SetTimerInterval(ClickTimer, ClickMs);
            backend.OpenWindow(form);
            // The first paint enters the main loop, which runs until the soak ends the program.
            while (!app.Terminated()) {
                app.ProcessMessages();
                if (!app.Terminated())
                    app.WaitForEvent(100);
            }
            MyWave::WaveStop();
            MyMidi::MidiClose();
            backend.CloseWindow();
            Form1 = nullptr;
            figures = soak.Figures();
        }
        app.SetBackend(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zv_rk_soak: %s\n", e.what());
        app.SetBackend(nullptr);
        status = 1;
    }
    Audio::CloseAudio();
    SDL_Quit();
    fs::current_path("/");
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (status != 0)
        return status;

    const std::vector<TSample> first = Window(figures, warmUp);
    const std::vector<TSample> last = Window(figures, seconds - WindowSeconds);
    if (first.empty() || last.empty()) {
        std::fprintf(stderr, "zv_rk_soak: too few samples to judge the run\n");
        return 1;
    }
    const long startRss = MedianRss(first), endRss = MedianRss(last);
    const long startFds = FewestFds(first), endFds = FewestFds(last);
    long peakRss = 0;
    for (const TSample& s : figures)
        peakRss = std::max(peakRss, s.RssKb);
    std::printf("soak of %.0f s: %ld clicks, %ld choices, %ld saves, %ld loads, %ld music restarts, %ld error "
                "reports\n",
                seconds, Counts.Clicks, Counts.Choices, Counts.Saves, Counts.Loads, Counts.MusicRestarts,
                Counts.Errors);
    std::printf("memory (VmRSS): first sample %.1f MB, start %.1f MB, end %.1f MB, peak %.1f MB\n",
                figures.front().RssKb / 1024.0, startRss / 1024.0, endRss / 1024.0, peakRss / 1024.0);
    std::printf("open file descriptors: first sample %ld, start %ld, end %ld\n", figures.front().Fds, startFds, endFds);
    bool grew = false;
    if (endRss - startRss > NoiseKb) {
        std::printf("FAIL: memory grew by %.1f MB, more than the %.1f MB of noise\n", (endRss - startRss) / 1024.0,
                    NoiseKb / 1024.0);
        grew = true;
    }
    if (endFds > startFds) {
        std::printf("FAIL: %ld more file descriptors open at the end\n", endFds - startFds);
        grew = true;
    }
    if (!grew)
        std::printf("ok: neither grew past its noise\n");
    return grew ? 1 : 0;
}
