#include "FuzzWindow.h"

#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/audio/MciDevice.h"
#include "sound/MyMidi.h"
#include "sound/MyWave.h"
#include "timing/MyTime.h"
#include "ui/MyCg.h"

#include <algorithm>
#include <cstdlib>

#include <unistd.h>

namespace Fuzz {

namespace {

// Music that opens when its file is there and has always just ended, so that a looping piece is
// started again at every poll: the interpreter's every answer is exercised, and nothing sounds.
class TSilentMusic : public Audio::TMusicOutput {
public:
    uint32_t Load(const std::string& nativePath) override
    {
        return access(nativePath.c_str(), R_OK) == 0 ? MciError::None : MciError::FileNotFound;
    }
    void Play() override {}
    void Stop() override {}
    bool Playing() override { return false; }
};

std::unique_ptr<Audio::TMciInterpreter> Music;

}  // namespace

TOffscreenDrivers::TOffscreenDrivers()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

TWindow::TWindow()
{
    UnitRK::Services.LoadPictureFile = MyCg::LoadPictureFile;
    UnitRK::Services.MidiPlay = MyMidi::MidiPlay;
    UnitRK::Services.MidiClose = MyMidi::MidiClose;
    UnitRK::Services.WavePlay = MyWave::WavePlay;
    UnitRK::Services.WaveStop = MyWave::WaveStop;
    MyMidi::SetMciSink([](const std::string& command, char* reply, uint32_t replyLength) {
        return Music->Send(command, reply, replyLength);
    });
    MyWave::SetSoundSink([](const std::string&, unsigned) { return true; });
    Application().SetBackend(this);
}

TWindow::~TWindow()
{
    Application().SetBackend(nullptr);
    CloseWindow();
    Form1 = nullptr;
}

void TWindow::Start()
{
    CloseWindow();
    Form1 = nullptr;
    Form.reset();
    Shown.clear();
    Application().Reset();
    Application().Title = "zv_rk";
    UnitRK::Rk = UnitRK::TEngineState{};
    MyTime::ResetTimers();
    Music = std::make_unique<Audio::TMciInterpreter>([] { return std::make_unique<TSilentMusic>(); });
    Form = std::make_unique<TForm1>();
    Form1 = Form.get();
    Form->OnPaint = nullptr;  // the first paint would enter the main loop; Act drives the timers
    Application().Guard([&] { Form->FormCreate(); });
    OpenWindow(*Form);
    Application().ProcessMessages();
}

bool TWindow::Ended() const { return Application().Terminated(); }

bool TWindow::OnlyRangeErrors() const
{
    const std::string range = ErrorReportText(ERangeError().what());
    for (const std::string& text : Shown)
        if (text != range)
            return false;
    return true;
}

void TWindow::ShowMessageBox(const std::string& text, const std::string&, TMessageIcon) { Shown.push_back(text); }

void TWindow::Click(int x, int y, uint8_t button)
{
    for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = SDL_GetWindowID(Window());
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
        SDL_PushEvent(&e);
    }
}

void TWindow::Move(int x, int y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(Window());
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

void TWindow::PushClickOn(const TControl& control, uint8_t button)
{
    // Sizes may come from a save slot: aim inside the window whatever they are.
    int64_t x = control.ScreenLeft() + int64_t{control.Width} / 2,
            y = control.ScreenTop() + int64_t{control.Height} / 2;
    Click(int(std::clamp<int64_t>(x, 0, Form->Width - 1)), int(std::clamp<int64_t>(y, 0, Form->Height - 1)), button);
}

void TWindow::ClickOn(const TControl& control, uint8_t button)
{
    PushClickOn(control, button);
    Application().ProcessMessages();
}

void TWindow::Pass()
{
    Application().ProcessMessages();
    RunTimers();
    Application().Present();
}

void TWindow::RunTimers()
{
    Application().Guard([] { MyMidi::MidiPoll(); });
    Application().Guard([] { UnitRK::AutoTick(); });
}

void TWindow::Act(std::mt19937& plan)
{
    auto pick = [&](int n) { return int(plan() % uint32_t(n)); };
    auto showing = [](const std::vector<TControl*>& controls) {
        std::vector<TControl*> out;
        for (TControl* c : controls)
            if (c->Showing())
                out.push_back(c);
        return out;
    };
    TForm1& f = *Form;
    switch (pick(10)) {
    case 5:
        Move(pick(f.Width), pick(f.Height));
        break;
    case 6:
        if (auto labels = showing({&f.Label0, &f.Label1, &f.Label2, &f.Label3, &f.Label4, &f.Label5});
            !labels.empty()) {
            PushClickOn(*labels[size_t(pick(int(labels.size())))]);
            break;
        }
        [[fallthrough]];
    case 7:
        Click(pick(f.Width), pick(f.Height), SDL_BUTTON_RIGHT);
        break;
    case 8:
        if (auto buttons =
                showing({&f.ButSave0, &f.ButSave1, &f.ButSave2, &f.ButLoad0, &f.ButLoad1, &f.ButLoad2, &f.But2Cancel});
            !buttons.empty()) {
            PushClickOn(*buttons[size_t(pick(int(buttons.size())))]);
            break;
        }
        [[fallthrough]];
    case 9:
        break;  // a pause: only the timers run
    default:
        Click(pick(f.Width), pick(f.Height), SDL_BUTTON_LEFT);
        break;
    }
    Pass();
}

}  // namespace Fuzz
