// Program start: the application object, the one window, and the message loop until the story
// or the player ends it.
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/audio/AudioDevice.h"
#include "platform/sdl/SdlBackend.h"
#include "ui/Unit2.h"

#include "sound/MyMidi.h"
#include "sound/MyWave.h"
#include "ui/MyCg.h"

#include <SDL.h>

#include <cstdio>
#include <exception>

namespace {

// The units the engine drives through its service slots.
void BindServices()
{
    UnitRK::Services.MidiPlay = MyMidi::MidiPlay;
    UnitRK::Services.MidiClose = MyMidi::MidiClose;
    UnitRK::Services.WavePlay = MyWave::WavePlay;
    UnitRK::Services.WaveStop = MyWave::WaveStop;
    UnitRK::Services.LoadPictureFile = MyCg::LoadPictureFile;
}

void RunMessageLoop(TApplication& app)
{
    // The first paint enters the main loop, which runs until termination; this loop only
    // carries the program until then and ends it afterwards.
    while (!app.Terminated()) {
        app.ProcessMessages();
        if (!app.Terminated())
            app.WaitForEvent(100);
    }
}

// The main loop has already silenced both when it ran; a start that never reached it has not.
void Silence()
{
    MyWave::WaveStop();
    MyMidi::MidiClose();
}

}  // namespace

int main()
{
    std::string noDisplay = TSdlBackend::MissingDisplayReason();
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "zv_rk: %s\n", noDisplay.c_str());
        return 1;
    }
    TApplication& app = Application();
    app.Title = "zv_rk";
    BindServices();
    int status = 0;
    try {
        TSdlBackend backend;
        app.SetBackend(&backend);
        {
            TForm1 form;
            Form1 = &form;
            app.Guard([&] { form.FormCreate(); });
            backend.OpenWindow(form);
            RunMessageLoop(app);
            Silence();
            backend.CloseWindow();
            Form1 = nullptr;
        }
        app.SetBackend(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zv_rk: %s\n", e.what());
        app.SetBackend(nullptr);
        status = 1;
    }
    // On every way out, also after an error: the device is closed in order, so the output
    // ends in silence instead of being cut off mid-sound.
    Audio::CloseAudio();
    SDL_Quit();
    return status;
}
