// Program start: the application object, the one window, and the message loop until the story
// or the player ends it.
#include "engine/UnitRK.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/UserFolders.h"
#include "platform/audio/AudioDevice.h"
#include "platform/sdl/SdlBackend.h"
#include "reader/Pacer.h"
#include "reader/Reader.h"
#include "reader/Screenshot.h"
#include "ui/Unit2.h"

#include "sound/MyMidi.h"
#include "sound/MyWave.h"
#include "ui/AuthorCommands.h"
#include "ui/CommandLine.h"
#include "ui/LastStory.h"
#include "ui/MyCg.h"
#include "ui/NoStory.h"
#include "ui/Settings.h"

#include <SDL.h>

#include <cstdio>
#include <exception>
#include <iostream>

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

// The view to open with: as remembered, then as the command line asks. A scale given on the
// command line asks for a window of that scale, unless it also asks for full screen.
TView StartView(const TSettings& settings, const TCommandLine& line)
{
    TView view;
    if (settings.Scale)
        view.Scale = *settings.Scale;
    if (settings.FullScreen)
        view.FullScreen = *settings.FullScreen;
    if (line.Scale) {
        view.Scale = *line.Scale;
        view.FullScreen = false;
    }
    if (line.FullScreen)
        view.FullScreen = *line.FullScreen;
    return view;
}

// Remembers what the player changed with a key, and only that.
void Remember(TSettings& settings, const TView& before, const TView& after)
{
    if (after.Scale != before.Scale)
        settings.Scale = after.Scale;
    if (after.FullScreen != before.FullScreen)
        settings.FullScreen = after.FullScreen;
    std::string problem;
    if (!SaveSettings(SettingsPath(), settings, problem))
        std::fprintf(stderr, "zv_rk: settings not saved: %s\n", problem.c_str());
}

// The reader's features, as the settings and the command line ask.
TReaderOptions ReaderOptions(const TSettings& settings, const TCommandLine& line, const std::string& story)
{
    TReaderOptions options;
    options.CopyEveryPage = line.CopyText || settings.CopyEveryPage.value_or(false);
    options.StoryName = StoryFileName(story, PlayedArchive() != nullptr);
    return options;
}

// --last: the story played last as if it had been named.
std::optional<int> NameLastStory(TCommandLine& line)
{
    std::string problem;
    TSettings settings = LoadSettings(SettingsPath(), problem);
    if (!problem.empty())
        std::fprintf(stderr, "zv_rk: settings ignored: %s\n", problem.c_str());
    return TakeLastStory(settings, line, std::cerr);
}

// Started with nothing to play: no story named, and no story's dat folder here (one without its
// script still gets the missing-script box, as it always did).
bool StartsWithoutStory(const TCommandLine& line)
{
    return line.Story.empty() && line.StartLabel.empty() && !HasDataFolder();
}

// The window without a story until one is dropped or offered and entered: its path, or nullopt
// when the window was closed.
std::optional<std::string> WaitForStory(TSdlBackend& backend, TSettings& settings, TView& view)
{
    backend.ViewChanged = [&](const TView& changed) {
        Remember(settings, view, changed);
        view = changed;
    };
    std::optional<std::string> story = ChooseStory(backend, view, settings.LastStory);
    backend.ViewChanged = nullptr;
    return story;
}

// The story about to play, for --last and the window without a story, once its script is there. A
// settings file that was not understood is left as the person wrote it, to be mended.
void RememberPlayed(TSettings& settings, bool understood, const std::string& given)
{
    if (!understood || !FileExists(UnitRK::ScriptPath))
        return;
    std::string problem;
    if (!RememberStory(settings, PlayedStoryPath(given), problem))
        std::fprintf(stderr, "zv_rk: settings not saved: %s\n", problem.c_str());
}

// What settings.ini asks of skipping and auto play, over their defaults.
TPaceSettings PaceSettings(const TSettings& settings)
{
    TPaceSettings reader;
    reader.SkipUnseen = settings.SkipUnseen.value_or(reader.SkipUnseen);
    reader.AutoDelayMs = settings.AutoDelay.value_or(reader.AutoDelayMs);
    reader.AutoPerCharMs = settings.AutoPerChar.value_or(reader.AutoPerCharMs);
    return reader;
}

}  // namespace

int main(int argc, char** argv)
{
    TCommandLine line;
    if (std::optional<int> status = ParseCommandLine(argc, argv, line, std::cout, std::cerr))
        return *status;
    if (line.Last)
        if (std::optional<int> status = NameLastStory(line))
            return *status;
    if (!line.Story.empty()) {
        std::string problem = EnterStoryFolder(line.Story);
        if (!problem.empty()) {
            std::fprintf(stderr, "zv_rk: %s\n", problem.c_str());
            return 2;
        }
    }
    if (line.Check)
        return RunCheck(std::cout);
    if (line.Map)
        return RunMap(std::cout, std::cerr);
    std::function<void()> firstStep;
    if (!line.StartLabel.empty())
        if (std::optional<int> status = PrepareStart(line.StartLabel, firstStep, std::cerr))
            return *status;
    std::string noDisplay = TSdlBackend::MissingDisplayReason();
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "zv_rk: %s\n", noDisplay.c_str());
        return 1;
    }
    std::string problem;
    TSettings settings = LoadSettings(SettingsPath(), problem);
    if (!problem.empty())
        std::fprintf(stderr, "zv_rk: settings ignored: %s\n", problem.c_str());
    bool settingsUnderstood = problem.empty();
    bool noStory = StartsWithoutStory(line);
    TApplication& app = Application();
    app.Title = "zv_rk";
    BindServices();
    int status = 0;
    try {
        TSdlBackend backend;
        app.SetBackend(&backend);
        TView view = StartView(settings, line);
        std::string story = line.Story;
        if (noStory)
            story = WaitForStory(backend, settings, view).value_or("");
        if (!app.Terminated()) {
            TForm1 form;
            Form1 = &form;
            form.FirstStep = firstStep;
            // The reader's pace hears the story from its first line on; looking back and the
            // rest start with the window.
            std::unique_ptr<TReader> reader;
            TPacer pacer(form, PaceSettings(settings), UserFolder(TUserFolder::State), [&reader] {
                if (reader)
                    reader->ShowTitle();
            });
            backend.SetView(view);
            app.Guard([&] { form.FormCreate(); });
            backend.ViewChanged = [&](const TView& changed) {
                Remember(settings, view, changed);
                view = changed;
            };
            backend.OpenWindow(form, view);
            view = backend.View();
            reader = std::make_unique<TReader>(form, form.Page1, form.PanelText, backend,
                                               ReaderOptions(settings, line, story));
            reader->AutoPlaying = [&pacer] { return pacer.AutoPlaying(); };
            pacer.LookingBack = [&reader] { return reader && reader->LookBack().Back() > 0; };
            form.ReaderInput = [&](int key, bool repeat) { return reader->Input(key, repeat); };
            RunMessageLoop(app);
            // Remembered once the story has been played, so that its start costs no disk write.
            RememberPlayed(settings, settingsUnderstood, story);
            form.ReaderInput = nullptr;
            pacer.LookingBack = nullptr;
            reader.reset();
            pacer.Keep();
            Silence();
            backend.CloseWindow();
            Form1 = nullptr;
        }
        app.SetBackend(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zv_rk: %s\n", TerminalMessage(e).c_str());
        app.SetBackend(nullptr);
        status = 1;
    }
    // On every way out, also after an error: the device is closed in order, so the output
    // ends in silence instead of being cut off mid-sound.
    Audio::CloseAudio();
    SDL_Quit();
    return status;
}
