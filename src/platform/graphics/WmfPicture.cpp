#include "WmfPicture.h"

#include "CairoCanvas.h"
#include "LittleEndian.h"
#include "MetafileSize.h"
#include "PictureLimits.h"
#include "WmfPlayer.h"
#include "platform/Errors.h"

#include <cmath>
#include <memory>
#include <optional>

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr size_t PlaceableSize = 22;
constexpr size_t MetaHeaderSize = 18;
// A drawing may stand past its picture by an eighth of its side and still be cut there.
constexpr double MaxOverhang = 8;

struct TPlaceable {
    int16_t Left, Top, Right, Bottom;
    uint16_t Inch;  // logical units per inch
};

// The checksum is the XOR of the header's first ten 16-bit words.
TPlaceable ReadPlaceable(const TLittleEndian& in)
{
    if (in.U32(0) != PlaceableKey)
        in.Damaged();
    uint16_t sum = 0;
    for (size_t i = 0; i < 10; ++i)
        sum ^= in.U16(i * 2);
    if (sum != in.U16(20))
        in.Damaged();
    TPlaceable p{in.I16(6), in.I16(8), in.I16(10), in.I16(12), in.U16(14)};
    if (p.Inch == 0)
        in.Damaged();
    return p;
}

// The metafile header after the placeable one: its type (memory or disk) and size in words (9).
int ReadObjectCount(const TLittleEndian& in)
{
    uint16_t type = in.U16(PlaceableSize);
    uint16_t headerWords = in.U16(PlaceableSize + 2);
    if ((type != 1 && type != 2) || headerWords != MetaHeaderSize / 2)
        in.Damaged();
    return in.U16(PlaceableSize + 10);
}

int64_t Pixels(int64_t logical, uint16_t inch)
{
    return MetafileSize::PixelsFromHundredthMm(MetafileSize::MulDiv(logical, MetafileSize::HundredthMmPerInch, inch));
}

// Whether a drawing from `low` to `high` reaches well past a picture `size` pixels long: further
// than an outline on the window's edge or the overhang of a glyph would, which are cut as GDI
// cuts them.
bool FarPast(double low, double high, int size)
{
    const double slack = size / MaxOverhang;
    return low < -slack || high > size + slack;
}

struct TDrawing {
    int Objects;
    TWmfPlayer::TWindow Window;
    int Width, Height;
    PictureArea::TPart Drawn;
};

TWmfPlayer::TViewport WholePicture(const TDrawing& d) { return {0, 0, double(d.Width), double(d.Height)}; }

// Plays the records onto `cr`, the window landing on `viewport`, after `work` of earlier plays;
// gives how far they reached and adds to `work`.
TWmfPlayer::TReach PlayOnto(cairo_t* cr, const TLittleEndian& in, const TDrawing& d,
                            const TWmfPlayer::TViewport& viewport, TWmfPlayer::TWork& work)
{
    TWmfPlayer player(cr, in, d.Objects, d.Window, d.Width, d.Height, d.Drawn);
    player.SetViewport(viewport);
    player.ContinueWork(work);
    player.Play(PlaceableSize + MetaHeaderSize);
    work = player.Work();
    return player.Reach();
}

TRgbImage Render(const TLittleEndian& in, const TDrawing& d, TColor backdrop, const TWmfPlayer::TViewport& viewport,
                 TWmfPlayer::TWork& work, TWmfPlayer::TReach& reach)
{
    TCairoCanvas canvas(d.Width, d.Height, d.Drawn, backdrop);
    if (!canvas.Ok())
        throw InvalidMetafileError();
    reach = PlayOnto(canvas.Context(), in, d, viewport, work);
    return canvas.Pixels();
}

// Drawn far past its window, a picture would lose what lies beyond; instead it is framed, as GDI
// frames a metafile that states no size of its own, by the pixels its records mark, stretched
// onto the picture. Nothing when the pixels marked keep to the picture after all.
std::optional<TWmfPlayer::TViewport> FramedByInk(const TLittleEndian& in, const TDrawing& d, TWmfPlayer::TWork& work)
{
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
    PlayOnto(cr.get(), in, d, WholePicture(d), work);
    double x = 0, y = 0, width = 0, height = 0;
    cairo_recording_surface_ink_extents(surface.get(), &x, &y, &width, &height);
    if (width <= 0 || height <= 0 || !(FarPast(x, x + width, d.Width) || FarPast(y, y + height, d.Height)))
        return std::nullopt;
    double left = std::floor(x), top = std::floor(y);
    double sx = d.Width / (std::ceil(x + width) - left), sy = d.Height / (std::ceil(y + height) - top);
    return TWmfPlayer::TViewport{-left * sx, -top * sy, d.Width * sx, d.Height * sy};
}

}  // namespace

std::shared_ptr<TGraphic> LoadWindowsMetafile(const std::string& file, TColor backdrop,
                                              const std::optional<PictureArea::TSize>& area)
{
    TLittleEndian in(file, [] { throw InvalidMetafileError(); });
    TPlaceable box = ReadPlaceable(in);
    int objects = ReadObjectCount(in);
    int64_t width = Pixels(int64_t{box.Right} - box.Left, box.Inch);
    int64_t height = Pixels(int64_t{box.Bottom} - box.Top, box.Inch);
    if (!PictureLimits::SizeAllowed(width, height))
        in.Damaged();
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    TWmfPlayer::TWindow window{double(box.Left), double(box.Top), double(box.Right) - box.Left,
                               double(box.Bottom) - box.Top};
    TDrawing drawing{objects, window, w, h, DrawnPart(w, h, area)};
    TWmfPlayer::TWork work;
    TWmfPlayer::TReach reach{};
    TRgbImage pixels = Render(in, drawing, backdrop, WholePicture(drawing), work, reach);
    // Only a picture whose coordinates reach far out is measured and drawn again, within what is
    // left of the bounds of one metafile's work.
    if (FarPast(reach.Left, reach.Right, w) || FarPast(reach.Top, reach.Bottom, h)) {
        try {
            if (std::optional<TWmfPlayer::TViewport> framed = FramedByInk(in, drawing, work))
                pixels = Render(in, drawing, backdrop, *framed, work, reach);
        } catch (const EInvalidGraphic&) {
            // Past the bounds the second time round: it stays cut at its window.
        }
    }
    return std::make_shared<TBitmapGraphic>(std::move(pixels));
}
