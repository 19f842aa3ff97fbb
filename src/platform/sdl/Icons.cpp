#include "platform/sdl/Icons.h"

namespace {

void Put(SDL_Surface* target, int x, int y, Uint8 r, Uint8 g, Uint8 b)
{
    SDL_Rect dot{x, y, 1, 1};
    SDL_FillRect(target, &dot, SDL_MapRGB(target->format, r, g, b));
}

void Fill(SDL_Surface* target, int x, int y, int w, int h, Uint8 r, Uint8 g, Uint8 b)
{
    SDL_Rect box{x, y, w, h};
    SDL_FillRect(target, &box, SDL_MapRGB(target->format, r, g, b));
}

}  // namespace

SDL_Surface* CreateWindowIcon()
{
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!icon)
        return nullptr;
    SDL_FillRect(icon, nullptr, SDL_MapRGBA(icon->format, 0, 0, 0, 0));
    // The window in small: a frame, a dark picture with a moon and hills, black message lines.
    Fill(icon, 2, 3, 28, 26, 0x80, 0x80, 0x80);
    Fill(icon, 3, 4, 26, 15, 0x44, 0x44, 0x44);
    for (int x = 3; x < 29; ++x) {
        int ground = 14 + (x % 9 < 5 ? x % 9 : 9 - x % 9) / 2;
        Fill(icon, x, ground, 1, 19 - ground, 0x3A, 0x6E, 0x4A);
    }
    Fill(icon, 21, 6, 4, 4, 0xF0, 0xE0, 0x90);
    Fill(icon, 3, 19, 26, 9, 0, 0, 0);
    Fill(icon, 5, 21, 18, 1, 0xFF, 0xFF, 0xFF);
    Fill(icon, 5, 24, 12, 1, 0xFF, 0xFF, 0xFF);
    return icon;
}

void DrawStopIcon(SDL_Surface* target, int x, int y)
{
    // A disc of radius 15 around the middle of the 32 × 32 cell, with a dark rim.
    for (int row = 0; row < 32; ++row) {
        for (int col = 0; col < 32; ++col) {
            int dx2 = 2 * col - 31, dy2 = 2 * row - 31;  // twice the offset from the centre
            int d = dx2 * dx2 + dy2 * dy2;
            if (d <= 26 * 26)
                Put(target, x + col, y + row, 0xFF, 0x00, 0x00);
            else if (d <= 30 * 30)
                Put(target, x + col, y + row, 0x80, 0x00, 0x00);
        }
    }
    // The cross: two diagonal strokes three pixels wide.
    for (int i = 9; i <= 22; ++i) {
        for (int w = -1; w <= 1; ++w) {
            Put(target, x + i + w, y + i, 0xFF, 0xFF, 0xFF);
            Put(target, x + 31 - i + w, y + i, 0xFF, 0xFF, 0xFF);
        }
    }
}
