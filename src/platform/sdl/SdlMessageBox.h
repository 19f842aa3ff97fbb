// A modal message box drawn by the program itself (SDL's own X11 box cannot show Japanese):
// caption as the window title, an optional stop sign, the text and an OK button.
#pragma once

#include "platform/Application.h"
#include "platform/sdl/ControlPainter.h"
#include "platform/sdl/PixelScale.h"

#include <SDL.h>

#include <functional>
#include <string>

struct TMessageBoxLayout {
    SDL_Rect Icon{0, 0, 0, 0};  // empty without an icon
    SDL_Rect Text{0, 0, 0, 0};
    SDL_Rect Button{0, 0, 0, 0};
    int Width = 0, Height = 0;  // client area
};

// Destroys a window that SDL may just have woken up. While SDL waits for events it wakes itself
// with a message sent to the window over a second X connection; when that message reaches the
// server after the window is gone, Xlib's default error handler ends the whole program with
// status 1. Hidden first and destroyed a moment later, the window outlives that message. Under
// any other driver it is destroyed at once.
void RetireWindow(SDL_Window* window);

class TSdlMessageBox {
public:
    // `owner` is the program's main window (may be null): the box opens centred over it and
    // keeps it painted while the box is up; every other event of the owner is dropped. The box is
    // drawn `scale` times larger, as the owner is, or as large as still fits on the display.
    TSdlMessageBox(TControlPainter& painter, SDL_Window* owner, int scale = 1)
        : Painter(painter), Owner(owner), Scale(scale)
    {
    }

    // Shows the box and runs its own event loop until Return, Space, Escape, the OK button or
    // the close button ends it. A quit request that arrives meanwhile closes the box and is
    // put back for the program to see.
    void Run(const std::string& textSjis, const std::string& captionSjis, TMessageIcon icon);

    TMessageBoxLayout Layout(const std::string& textSjis, TMessageIcon icon);

    // Called once the box is on screen (tests look at it and send it keys).
    std::function<void(SDL_Window* box)> Shown;

    // The key whose press closed the box; 0 when the mouse or the window's close button did.
    SDL_Keycode ClosingKey() const { return ClosedBy; }

private:
    void Draw(SDL_Window* box, const TMessageBoxLayout& layout, const std::string& textSjis, bool pressed);
    // Handles one event; returns true when the box is to close.
    bool Handle(const SDL_Event& event, SDL_Window* box, const TMessageBoxLayout& layout, bool& pressed, bool& quit);

    TControlPainter& Painter;
    SDL_Window* Owner;
    int Scale;
    TFrameLayout Placed;  // the box's 1× frame in its window
    SDL_Keycode ClosedBy = 0;
};
