// Pictures drawn in code: the window's icon and the message box's stop sign.
#pragma once

#include <SDL.h>

// A new 32 × 32 surface with the program's icon: a small picture above three message lines.
SDL_Surface* CreateWindowIcon();

// Draws the 32 × 32 stop sign (a red disc with a white cross) with its top-left at x, y.
void DrawStopIcon(SDL_Surface* target, int x, int y);
