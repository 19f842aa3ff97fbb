// The label-text layout over random Shift-JIS bytes: the caption split into lines, tab stops and
// "&" underlines, measured and drawn with the player's font onto a surface in memory (no window).
// The last bytes of the input choose the label: "&" markers or plain text (a message box), left or
// centred, regular or bold, 12 or 13 pixels, and where the box and its clip lie. Drawing touches
// nothing outside the clip, and every underline falls on a character of its segment.
#include "Fuzz.h"

#include "platform/sdl/LabelText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace {

constexpr int SurfaceWidth = 154, SurfaceHeight = 142;  // the window's client area
constexpr Uint32 Untouched = 0x123456;

TFontCache* Fonts = nullptr;
TTextPainter* Painter = nullptr;
SDL_Surface* Surface = nullptr;

SDL_Rect Rect(FuzzedDataProvider& in, int reach)
{
    return {in.ConsumeIntegralInRange(-reach, reach), in.ConsumeIntegralInRange(-reach, reach),
            in.ConsumeIntegralInRange(0, 2 * reach), in.ConsumeIntegralInRange(0, 2 * reach)};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fonts = new TFontCache();
    Painter = new TTextPainter(*Fonts);
    Surface = SDL_CreateRGBSurfaceWithFormat(0, SurfaceWidth, SurfaceHeight, 32, SDL_PIXELFORMAT_XRGB8888);
    Fuzz::Require(Surface != nullptr, "no surface to draw on");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool prefixes = in.ConsumeBool();
    const TAlignment alignment = in.ConsumeBool() ? TAlignment::Center : TAlignment::LeftJustify;
    const TFont font{0xFFFFFF, in.ConsumeBool() ? 13 : 12, in.ConsumeBool()};
    SDL_Rect box = Rect(in, 200);
    SDL_Rect wanted = Rect(in, 200), surface{0, 0, SurfaceWidth, SurfaceHeight}, clip{0, 0, 0, 0};
    // As the painter gives it: a parent's clip, inside the surface.
    SDL_IntersectRect(&wanted, &surface, &clip);
    const std::string caption = in.ConsumeRemainingBytesAsString();

    for (const TTextLine& line : ParseCaption(caption, prefixes)) {
        for (const TTextSegment& segment : line)
            for (size_t at : segment.Underlined)
                Fuzz::Require(at < segment.Sjis.size(), "an underline past the end of its segment");
        Fuzz::Require(Painter->LineWidth(line, font) >= 0, "a line of negative width");
    }

    SDL_FillRect(Surface, nullptr, Untouched);
    Painter->Draw(Surface, box, clip, font, alignment, caption, prefixes);
    for (int y = 0; y < SurfaceHeight; ++y) {
        const auto* row =
            reinterpret_cast<const Uint32*>(static_cast<const char*>(Surface->pixels) + y * Surface->pitch);
        for (int x = 0; x < SurfaceWidth; ++x) {
            bool inside = x >= clip.x && x < clip.x + clip.w && y >= clip.y && y < clip.y + clip.h;
            Fuzz::Require(inside || (row[x] & 0xFFFFFF) == Untouched, "text drawn outside its clip");
        }
    }
    return 0;
}
