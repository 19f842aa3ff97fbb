// The reader's pace: what was seen, skipping it, and auto play. They hear
// the story through the engine's events and the player through the form's keys and clicks, step
// the story only as a click on the picture does, and never change the engine's state.
#pragma once

#include "reader/AutoPlay.h"
#include "reader/SeenLines.h"
#include "reader/Skipping.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TForm1;

struct TPaceSettings {
    bool SkipUnseen = false;  // skipping passes lines not seen before too
    int AutoDelayMs = TAutoPlay::DefaultDelayMs;
    int AutoPerCharMs = TAutoPlay::DefaultPerCharMs;
};

class TPacer {
public:
    static constexpr int SkipTimer = 3, AutoTimer = 4, KeepTimer = 5;
    static constexpr int SkipStepMs = 50;
    // Held Ctrl takes its first step only after this long, so that Ctrl pressed for a command
    // (Ctrl + "+", say) skips nothing.
    static constexpr int CtrlFirstStepMs = 250;
    // What was seen is written at most this often while reading, and at the end.
    static constexpr int KeepEveryMs = 3000;

    // Binds to `form`, the engine's events, timers 3 to 5 and the error report. The records of
    // what was seen are kept in `stateFolder` ("" keeps none);
    // `modeChanged` is told when auto play goes on or off (the title shows it).
    TPacer(TForm1& form, const TPaceSettings& settings, std::string stateFolder, std::function<void()> modeChanged);
    // Unbinds and writes what was seen.
    ~TPacer();
    TPacer(const TPacer&) = delete;
    TPacer& operator=(const TPacer&) = delete;

    // Writes what was seen, if anything new was.
    void Keep();
    bool Skipping() const { return Skip.Active(); }
    bool AutoPlaying() const { return Auto.On; }
    // Whether the reader is looking back at an earlier page: the story must not move on out of
    // sight, so skipping and auto play stop and their keys are left to the looking back.
    std::function<bool()> LookingBack;

private:
    void Bind();
    void LineShown(int64_t line);
    void MenuShown();
    bool KeyDown(int key, bool repeat);
    void KeyUp(int key);
    void Clicked(bool onChoice);
    void SkipStep();
    void AutoStep();
    void SkipTimerFollows();
    void SetAuto(bool on);
    bool StopWhileLookingBack();
    bool DataMenuUp() const;
    SeenLines::TSeenRecord& Record();

    TForm1& Form;
    TPaceSettings Settings;
    std::string StateFolder;
    std::function<void()> ModeChanged;
    std::unique_ptr<SeenLines::TSeenRecord> Seen;  // opened once the script is loaded
    TSkipping Skip;
    TAutoPlay Auto;
    int32_t LastLineDelay = -1;  // for the line last shown; -1 before any
    bool KeepFailed = false;
};
