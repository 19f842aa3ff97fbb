#include "WmfPicture.h"

#include "CairoCanvas.h"
#include "LittleEndian.h"
#include "MetafileSize.h"
#include "PictureLimits.h"
#include "WmfPlayer.h"
#include "platform/Errors.h"

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr size_t PlaceableSize = 22;
constexpr size_t MetaHeaderSize = 18;

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
    TCairoCanvas canvas(w, h, DrawnPart(w, h, area), backdrop);
    if (!canvas.Ok())
        throw InvalidMetafileError();
    TWmfPlayer::TWindow window{double(box.Left), double(box.Top), double(box.Right) - box.Left,
                               double(box.Bottom) - box.Top};
    TWmfPlayer player(canvas.Context(), in, objects, window, w, h, canvas.Drawn());
    player.Play(PlaceableSize + MetaHeaderSize);
    return std::make_shared<TBitmapGraphic>(canvas.Pixels());
}
