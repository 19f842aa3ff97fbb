// The label-text layout over random Shift-JIS bytes: the caption split into lines, tab stops and
// "&" underlines, measured and drawn with the player's font onto a surface in memory (no window).
// Runs in the caption are spelled short (Fuzz.h). The last bytes of the input choose the label:
// "&" markers or plain text (a message box), left or centred, regular or bold, 12 or 13 pixels,
// and where the box and its clip lie. Drawing touches nothing outside the clip, every underline
// falls on a character of its segment, and text cut off costs nothing to paint.
#include "Fuzz.h"

#include "platform/sdl/LabelText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

namespace {

constexpr int SurfaceWidth = 154, SurfaceHeight = 142;  // the window's client area
constexpr Uint32 Untouched = 0x123456;
// Captions as long as a script line can be, from a few bytes with runs spelled short (Fuzz.h).
constexpr size_t MaxCaption = size_t{256} << 10;
// What a paint may hand the font: a bound for all that can show in the clip, and for a centred
// line, which is placed by its whole width, a few passes over it.
constexpr size_t WorkPerPaint = size_t{4} << 20;
constexpr size_t CentredWorkPerByte = 16;

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
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    const std::string caption(Fuzz::TExpandedInput(rest.data(), rest.size(), MaxCaption).View());

    for (const TTextLine& line : ParseCaption(caption, prefixes)) {
        for (const TTextSegment& segment : line)
            for (size_t at : segment.Underlined)
                Fuzz::Require(at < segment.Sjis.size(), "an underline past the end of its segment");
        Fuzz::Require(Painter->LineWidth(line, font) >= 0, "a line of negative width");
    }

    SDL_FillRect(Surface, nullptr, Untouched);
    const size_t before = Painter->FontWork();
    Painter->Draw(Surface, box, clip, font, alignment, caption, prefixes);
    const size_t allowed = WorkPerPaint + (alignment == TAlignment::Center ? CentredWorkPerByte * caption.size() : 0);
    Fuzz::Require(Painter->FontWork() - before <= allowed, "a paint that costs more than what shows");
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
