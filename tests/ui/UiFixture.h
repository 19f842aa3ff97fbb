// The real window and its controls, drawn by SDL's offscreen driver in a temporary story folder,
// with helpers to send mouse and keyboard events and to read the window back as pixels.
#pragma once

#include "platform/Application.h"
#include "platform/Graphic.h"
#include "platform/sdl/SdlBackend.h"
#include "ui/Unit2.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TBoxSeen {
    std::string Title;  // UTF-8
    TRgbImage Pixels;
    TRgbImage Behind;  // the main window while the box is up
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes dat/1.txt from UTF-8 lines as Shift-JIS with CR LF.
    void WriteScript(const std::vector<std::string>& utf8Lines);
    void WriteFile(const std::string& relative, const std::string& bytes);
    // Creates the window as the program does: FormCreate (errors reported), then the window.
    // The first paint does not enter the main loop here; tests drive the messages themselves.
    void Open();
    // Called by Open with the form made, before FormCreate (to bind what listens to it).
    std::function<void()> FormMade;
    // Takes every waiting event through the application and brings the screen up to date.
    void Pump() { Application().ProcessMessages(); }

    void Press(int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1);
    void Release(int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1);
    void Click(int x, int y, Uint8 button = SDL_BUTTON_LEFT)
    {
        Press(x, y, button);
        Release(x, y, button);
        Pump();
    }
    void Move(int x, int y);
    void Key(SDL_Keycode key, bool down, Uint16 mod = KMOD_NONE);
    void Tap(SDL_Keycode key, Uint16 mod = KMOD_NONE)
    {
        Key(key, true, mod);
        Key(key, false, mod);
        Pump();
    }

    // The window's pixels as they are now.
    TRgbImage Screen() const;
    // Pixel of the window at x, y as 0xRRGGBB.
    uint32_t At(int x, int y) const;
    // Number of pixels of `color` in a rectangle of the window.
    int Count(int x, int y, int w, int h, uint32_t color) const;
    // Compares the window with reference/<name>.png; RK_UPDATE_REFERENCES=1 rewrites it instead.
    void ExpectMatchesReference(const std::string& name) const;
    std::string MessageText() const;  // UTF-8, CR LF shown as "|"

    std::string Dir, OldDir;
    std::unique_ptr<TSdlBackend> Backend;
    std::unique_ptr<TForm1> Form;
    std::vector<TBoxSeen> Boxes;  // message boxes shown, each closed with Return
};

TRgbImage ReadSurface(SDL_Surface* surface);

// A 24-bit bottom-up bitmap file of 4 × 2 pixels: red on top, blue below.
std::string TinyBitmap();
