// The player's real window, engine and drawing on SDL's offscreen driver, with its error reports kept instead of shown.
// Music goes through the real media-control interpreter to a player that makes no sound, sound effects nowhere: only
// what a story and its files decide is exercised, never the sound card.
#pragma once

#include "Fuzz.h"
#include "platform/sdl/SdlBackend.h"
#include "ui/Unit2.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Fuzz {

// Chooses SDL's offscreen video and dummy audio drivers, before the backend starts SDL.
struct TOffscreenDrivers {
    TOffscreenDrivers();
};

class TWindow : private TOffscreenDrivers, public TSdlBackend {
public:
    // Binds the engine's services; the story folder must be entered first.
    TWindow();
    ~TWindow() override;

    // Starts the story in the current folder as the program does, in a new window: FormCreate
    // (its error reported), the window, its first paint. Error reports of an earlier start are
    // forgotten.
    void Start();

    // One thing a player may do, picked by `plan`: a click somewhere on the window or on a
    // choice, a mouse move, a right click, a click on a button of the data menu; then a pass of
    // the main loop.
    void Act(std::mt19937& plan);
    // A pass of the main loop: the waiting events and messages, the timers' work, the redraw.
    void Pass();
    // Clicks the middle of a control that shows (`button` SDL_BUTTON_LEFT or SDL_BUTTON_RIGHT).
    void ClickOn(const TControl& control, uint8_t button = 1);
    // The two timers with work: the music poll and the story's automatic step.
    void RunTimers();

    bool Ended() const;
    // The error reports shown since the start (Shift-JIS texts).
    const std::vector<std::string>& Reports() const { return Shown; }
    // Whether every report is the range error, the one error a story can raise on its own.
    bool OnlyRangeErrors() const;

    void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon) override;

    std::unique_ptr<TForm1> Form;

private:
    void PushClickOn(const TControl& control, uint8_t button = 1);
    void Click(int x, int y, uint8_t button);
    void Move(int x, int y);

    std::vector<std::string> Shown;
};

}  // namespace Fuzz
