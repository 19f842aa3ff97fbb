#include "SdlPicture.h"

#include "IconDirectory.h"
#include "PictureLimits.h"
#include "platform/Errors.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <cstring>

namespace {

struct TSurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using TSurface = std::unique_ptr<SDL_Surface, TSurfaceDeleter>;

int32_t ReadInt32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return static_cast<int32_t>(v);
}

int ReadUInt16(const std::string& b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

// The bitmap's declared size, checked before SDL allocates a surface of that size (an RLE bitmap
// can declare any size in a few bytes). Anything not understood here is left to SDL to refuse.
bool BitmapSizeAllowed(const std::string& file)
{
    if (file.size() < 26)
        return true;
    int32_t headerSize = ReadInt32(file, 14);
    if (headerSize == 12)
        return PictureLimits::SizeAllowed(ReadUInt16(file, 18), ReadUInt16(file, 20));
    int64_t width = ReadInt32(file, 18);
    int64_t height = ReadInt32(file, 22);
    return PictureLimits::SizeAllowed(width, std::llabs(height));
}

using TLoader = SDL_Surface* (*)(SDL_RWops*);

// Decodes with the given SDL_image loader and converts to ARGB8888; empty when it fails.
TSurface Decode(const std::string& file, TLoader loader)
{
    if (file.size() > static_cast<size_t>(INT32_MAX))
        return nullptr;
    SDL_RWops* rw = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
    if (!rw)
        return nullptr;
    TSurface loaded(loader(rw));
    SDL_RWclose(rw);
    if (!loaded)
        return nullptr;
    if (!PictureLimits::SizeAllowed(loaded->w, loaded->h))
        return nullptr;
    return TSurface(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
}

uint32_t Blend(uint32_t argb, uint32_t backdrop)
{
    uint32_t a = argb >> 24;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t fg = (argb >> shift) & 0xFF;
        uint32_t bg = (backdrop >> shift) & 0xFF;
        out |= ((fg * a + bg * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

TRgbImage Pixels(SDL_Surface* surface, bool blend, TColor backdrop)
{
    TRgbImage image;
    image.Width = surface->w;
    image.Height = surface->h;
    image.Pixels.resize(static_cast<size_t>(surface->w) * static_cast<size_t>(surface->h));
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const char*>(surface->pixels) +
                                                            static_cast<ptrdiff_t>(y) * surface->pitch);
        uint32_t* out = image.Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(surface->w);
        for (int x = 0; x < surface->w; ++x)
            out[x] = blend ? Blend(row[x], backdrop) : (row[x] & 0xFFFFFF);
    }
    SDL_UnlockSurface(surface);
    return image;
}

}  // namespace

std::shared_ptr<TGraphic> LoadBitmapPicture(const std::string& file)
{
    // SDL_image goes by the contents; the extension promised a bitmap and nothing else.
    if (file.compare(0, 2, "BM") != 0 || !BitmapSizeAllowed(file))
        throw InvalidBitmapError();
    TSurface surface = Decode(file, IMG_LoadBMP_RW);
    if (!surface)
        throw InvalidBitmapError();
    return std::make_shared<TBitmapGraphic>(Pixels(surface.get(), false, 0));
}

std::shared_ptr<TGraphic> LoadIconPicture(const std::string& file, TColor backdrop)
{
    std::optional<std::string> image = IconDirectory::LargestBitmapImage(file);
    if (!image)
        throw InvalidIconError();
    TSurface surface = Decode(*image, IMG_LoadICO_RW);
    if (!surface)
        throw InvalidIconError();
    return std::make_shared<TBitmapGraphic>(Pixels(surface.get(), true, backdrop));
}
