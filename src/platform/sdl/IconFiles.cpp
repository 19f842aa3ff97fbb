// Build step: writes the window's icon as the PNG files a desktop installs, one per size given,
// each enlarged or reduced from the drawn 32 × 32 by nearest neighbour so it stays sharp.
//   rk_icon_files FOLDER SIZE...   writes FOLDER/SIZExSIZE.png
#include "platform/sdl/Icons.h"
#include "platform/sdl/PixelScale.h"

#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: rk_icon_files FOLDER SIZE...\n");
        return 2;
    }
    SDL_Surface* icon = CreateWindowIcon();
    if (!icon) {
        std::fprintf(stderr, "rk_icon_files: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        int size = std::atoi(argv[i]);
        std::string path = std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + ".png";
        SDL_Surface* sized = size > 0 ? ResizeNearest(icon, size, size) : nullptr;
        if (!sized || IMG_SavePNG(sized, path.c_str()) != 0) {
            std::fprintf(stderr, "rk_icon_files: %s: %s\n", path.c_str(), SDL_GetError());
            status = 1;
        }
        SDL_FreeSurface(sized);
    }
    SDL_FreeSurface(icon);
    return status;
}
