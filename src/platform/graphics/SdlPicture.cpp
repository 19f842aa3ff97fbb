#include "SdlPicture.h"

#include "BitfieldBitmap.h"
#include "DibPalette.h"
#include "IconDirectory.h"
#include "PictureLimits.h"
#include "SharedLibrary.h"
#include "platform/Errors.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <cstring>
#include <optional>

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

struct TSdlImage {
    TLoader LoadBmp, LoadPng, LoadIco;
};

// SDL2_image brings libtiff, libwebp and their kin, six libraries that only bitmaps and icons
// need: it is opened when the first one is shown rather than at every start. Raises
// EMissingLibrary while it cannot be opened; asks again at the next picture.
#ifdef RK_SDL_IMAGE_LINKED
// The web page is one module with SDL2_image linked in: there is nothing to open.
const TSdlImage& SdlImage()
{
    static const TSdlImage image{IMG_LoadBMP_RW, IMG_LoadPNG_RW, IMG_LoadICO_RW};
    return image;
}
#else
const TSdlImage& SdlImage()
{
    static TSharedLibrary library(RK_SDL_IMAGE_SONAME, "bitmaps and icons", "libsdl2-image-2.0-0");
    static const TSdlImage image{
        library.Function<TLoader>("IMG_LoadBMP_RW"),
        library.Function<TLoader>("IMG_LoadPNG_RW"),
        library.Function<TLoader>("IMG_LoadICO_RW"),
    };
    return image;
}
#endif

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

// A copy of a bitmap file whose palette lists fewer colours than its pixels index, completed with
// black: SDL refuses such a file, the old platform drew it. The pixels, taken from where the file
// says they begin (even inside the palette), follow the completed palette. Nothing when there is
// nothing to complete.
std::optional<std::string> WithFullPalette(const std::string& file)
{
    constexpr size_t FileHeaderSize = 14, PixelsAtField = 10;
    std::string full = file;
    std::optional<DibPalette::TInsertion> insertion = DibPalette::Complete(full, FileHeaderSize);
    if (!insertion)
        return std::nullopt;
    size_t pixelsAt = static_cast<uint32_t>(ReadInt32(file, PixelsAtField));
    if (pixelsAt > file.size())
        return std::nullopt;
    size_t paletteEnd = insertion->At + insertion->Bytes;
    full.resize(paletteEnd);
    full.append(file, pixelsAt);
    for (size_t i = 0; i < 4; ++i)
        full[PixelsAtField + i] = static_cast<char>(paletteEnd >> (8 * i));
    return full;
}

TSurface DecodeBitmap(const std::string& file)
{
    if (TSurface surface = Decode(file, SdlImage().LoadBmp))
        return surface;
    if (std::optional<std::string> full = WithFullPalette(file))
        return Decode(*full, SdlImage().LoadBmp);
    return nullptr;
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

// How the decoded pixels meet what lies under the picture.
enum class TDrawing {
    Opaque,  // a bitmap
    Alpha,   // blended over the backdrop by their alpha
    Masked,  // an icon's AND mask and XOR colours: see MaskedPixel
};

// A single-image icon (see IconDirectory): the directory of its one image, then the image.
constexpr size_t IconImageAt = 6 + 16;

// Sets each pixel's alpha to alpha(x, y).
template <class TAlpha>
void SetAlpha(SDL_Surface* surface, TAlpha alpha)
{
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<char*>(surface->pixels) +
                                                static_cast<ptrdiff_t>(y) * surface->pitch);
        for (int x = 0; x < surface->w; ++x)
            row[x] = (row[x] & 0xFFFFFF) | (alpha(static_cast<size_t>(x), static_cast<size_t>(y)) << 24);
    }
    SDL_UnlockSurface(surface);
}

// A 32-bit image whose alpha channel is not all zero is drawn by its alpha alone, the mask
// ignored, as the systems since XP draw it, and gives TDrawing::Alpha; any other image is drawn
// by its mask.
TDrawing TakeAlphaChannel(const std::string& icon, SDL_Surface* surface)
{
    if (icon.size() < IconImageAt + 40 || ReadUInt16(icon, IconImageAt + 14) != 32 ||
        ReadInt32(icon, IconImageAt + 16) != 0)
        return TDrawing::Masked;
    size_t width = static_cast<size_t>(surface->w), height = static_cast<size_t>(surface->h);
    size_t bits = IconImageAt + static_cast<size_t>(ReadInt32(icon, IconImageAt));
    if (width == 0 || bits > icon.size() || (icon.size() - bits) / 4 / width < height)
        return TDrawing::Masked;
    auto alpha = [&](size_t x, size_t y) {  // rows stored bottom-up
        return static_cast<uint32_t>(static_cast<unsigned char>(icon[bits + ((height - 1 - y) * width + x) * 4 + 3]));
    };
    bool any = false;
    for (size_t y = 0; y < height && !any; ++y)
        for (size_t x = 0; x < width && !any; ++x)
            any = alpha(x, y) != 0;
    if (!any)
        return TDrawing::Masked;
    SetAlpha(surface, alpha);
    return TDrawing::Alpha;
}

// SDL_image folds the AND mask into the alpha channel together with the palette's reserved bytes,
// so the mask is read from the image: one bit a pixel after the colours, rows stored bottom-up
// and padded to four bytes. The alpha becomes 0 where the mask is set, opaque where clear.
void TakeAndMask(const std::string& icon, SDL_Surface* surface)
{
    size_t width = static_cast<size_t>(surface->w), height = static_cast<size_t>(surface->h);
    size_t bitCount = ReadUInt16(icon, IconImageAt + 14);  // SDL_image read its 40-byte header
    size_t colours = bitCount > 8 ? 0 : static_cast<uint32_t>(ReadInt32(icon, IconImageAt + 32));
    if (bitCount <= 8 && colours == 0)
        colours = size_t{1} << bitCount;
    size_t maskRow = (width + 31) / 32 * 4;
    size_t mask = IconImageAt + 40 + colours * 4 + (width * bitCount + 31) / 32 * 4 * height;
    if (mask > icon.size() || (icon.size() - mask) / maskRow < height)
        return;  // SDL_image's alpha stands
    SetAlpha(surface, [&](size_t x, size_t y) {
        auto bits = static_cast<unsigned char>(icon[mask + (height - 1 - y) * maskRow + x / 8]);
        return (bits & (0x80 >> (x % 8))) != 0 ? 0u : 0xFFu;
    });
}

// An icon is drawn as the screen ANDed with its mask, then XORed with its colours: where the mask
// is clear the colour shows, where it is set the backdrop shows through a black colour and is
// inverted by a white one.
uint32_t MaskedPixel(uint32_t argb, uint32_t backdrop)
{
    return (argb >> 24 == 0xFF ? argb : argb ^ backdrop) & 0xFFFFFF;
}

uint32_t Drawn(uint32_t argb, TDrawing drawing, TColor backdrop)
{
    switch (drawing) {
    case TDrawing::Alpha:
        return Blend(argb, backdrop);
    case TDrawing::Masked:
        return MaskedPixel(argb, backdrop);
    case TDrawing::Opaque:
        break;
    }
    return argb & 0xFFFFFF;
}

TRgbImage Pixels(SDL_Surface* surface, TDrawing drawing, TColor backdrop)
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
            out[x] = Drawn(row[x], drawing, backdrop);
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
    if (BitfieldBitmap::SdlIgnoresMasks(file))  // it would read the alpha byte as red
        if (std::optional<TRgbImage> image = BitfieldBitmap::Decode(file))
            return std::make_shared<TBitmapGraphic>(std::move(*image));
    if (TSurface surface = DecodeBitmap(file))
        return std::make_shared<TBitmapGraphic>(Pixels(surface.get(), TDrawing::Opaque, 0));
    if (std::optional<TRgbImage> image = BitfieldBitmap::Decode(file))  // masks SDL has no format for
        return std::make_shared<TBitmapGraphic>(std::move(*image));
    throw InvalidBitmapError();
}

std::shared_ptr<TGraphic> LoadIconPicture(const std::string& file, TColor backdrop)
{
    std::optional<std::string> image = IconDirectory::ShownImage(file, true);
    if (image && IconDirectory::IsPng(*image)) {
        if (TSurface png = Decode(*image, SdlImage().LoadPng))
            return std::make_shared<TBitmapGraphic>(Pixels(png.get(), TDrawing::Alpha, backdrop));
        image = IconDirectory::ShownImage(file, false);  // a damaged PNG leaves the bitmap sizes
    }
    if (!image)
        throw InvalidIconError();
    TSurface surface = Decode(*image, SdlImage().LoadIco);
    if (!surface)
        throw InvalidIconError();
    TDrawing drawing = TakeAlphaChannel(*image, surface.get());
    if (drawing == TDrawing::Masked)
        TakeAndMask(*image, surface.get());
    return std::make_shared<TBitmapGraphic>(Pixels(surface.get(), drawing, backdrop));
}
