// Whole-pixel enlargement: every pixel of a frame drawn at 1× becomes an N × N block, so text,
// bevels and pictures stay as sharp as at 1×, only larger.
#pragma once

#include <SDL.h>

// Where the 1× frame sits in a window: each frame pixel is Scale × Scale window pixels, the
// frame's top-left at Left, Top (the margins around it are black).
struct TFrameLayout {
    int Scale = 1;
    int Left = 0, Top = 0;

    // The frame pixel under window position x, y (outside the frame when in the margins).
    int ToFrameX(int x) const { return FloorDiv(x - Left, Scale); }
    int ToFrameY(int y) const { return FloorDiv(y - Top, Scale); }

    static int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
};

// The frame of frameW × frameH at `scale`, centred in a window of windowW × windowH.
TFrameLayout CentredLayout(int frameW, int frameH, int windowW, int windowH, int scale);

// The largest whole scale (at least 1) at which frameW × frameH fits in width × height.
int LargestFittingScale(int frameW, int frameH, int width, int height);

// Copies `frame` into `target` as `layout` places it and paints the rest of `target` black. Both
// surfaces must have the same pixel format; the copy is clipped to `target`. With `area` (frame
// pixels), only that part is copied and the margins are left as they are. Returns the part of
// `target` that was written.
SDL_Rect PresentScaled(SDL_Surface* frame, SDL_Surface* target, const TFrameLayout& layout,
                       const SDL_Rect* area = nullptr);

// The smallest box holding every pixel in which two surfaces of the same size and format differ;
// empty (w = 0) when they are alike.
SDL_Rect ChangedBox(SDL_Surface* before, SDL_Surface* after);

// A new surface of width × height with `source` resized by nearest neighbour (any sizes; for the
// installed icons, whose sizes are not all whole multiples of the drawn one).
SDL_Surface* ResizeNearest(SDL_Surface* source, int width, int height);
