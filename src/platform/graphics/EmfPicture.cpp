#include "EmfPicture.h"

#include "CairoCanvas.h"
#include "EmfPlayer.h"
#include "EmfRecords.h"
#include "LittleEndian.h"
#include "MetafileSize.h"
#include "PictureLimits.h"
#include "platform/Errors.h"

#include <cstdint>

namespace {

constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr size_t HeaderSize = 88;

struct TRect32 {
    int32_t Left, Top, Right, Bottom;
};

struct TEmfHeader {
    TRect32 Frame;                      // hundredths of a millimetre
    int32_t DeviceWidth, DeviceHeight;  // reference device, pixels
    int32_t DeviceWidthMm, DeviceHeightMm;
    uint16_t Handles;  // slots of the object table, the first one unused
};

TRect32 ReadRect(const TLittleEndian& in, size_t at)
{
    return {in.I32(at), in.I32(at + 4), in.I32(at + 8), in.I32(at + 12)};
}

TEmfHeader ReadHeader(const TLittleEndian& in)
{
    if (in.U32(0) != EmrHeader || in.U32(40) != EmfSignature || in.U32(4) < HeaderSize)
        in.Damaged();
    TEmfHeader h{ReadRect(in, 24), in.I32(72), in.I32(76), in.I32(80), in.I32(84), in.U16(56)};
    if (h.DeviceWidth <= 0 || h.DeviceHeight <= 0 || h.DeviceWidthMm <= 0 || h.DeviceHeightMm <= 0)
        in.Damaged();
    return h;
}

struct TPixelSize {
    int Width, Height;
};

// Any frame the picture's pixels can be counted in: only the part the panel shows is drawn.
TPixelSize PictureSize(const TLittleEndian& in, const TEmfHeader& h)
{
    int64_t width = MetafileSize::PixelsFromHundredthMm(int64_t{h.Frame.Right} - h.Frame.Left);
    int64_t height = MetafileSize::PixelsFromHundredthMm(int64_t{h.Frame.Bottom} - h.Frame.Top);
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
        in.Damaged();
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The frame in the reference device's pixels, stretched onto the picture.
TEmfPlayer::TFrame FrameOf(const TEmfHeader& h)
{
    double pxPerMmX = double(h.DeviceWidth) / h.DeviceWidthMm;
    double pxPerMmY = double(h.DeviceHeight) / h.DeviceHeightMm;
    return {h.Frame.Left / 100.0 * pxPerMmX,
            h.Frame.Top / 100.0 * pxPerMmY,
            (double(h.Frame.Right) - h.Frame.Left) / 100.0 * pxPerMmX,
            (double(h.Frame.Bottom) - h.Frame.Top) / 100.0 * pxPerMmY,
            pxPerMmX,
            pxPerMmY};
}

}  // namespace

bool IsEnhancedMetafile(const std::string& file)
{
    TLittleEndian in(file, [] { throw InvalidMetafileError(); });
    return in.Has(0, HeaderSize) && in.U32(0) == EmrHeader && in.U32(40) == EmfSignature;
}

std::shared_ptr<TGraphic> LoadEnhancedMetafile(const std::string& file, TColor backdrop,
                                               const std::optional<PictureArea::TSize>& area)
{
    TLittleEndian in(file, [] { throw InvalidMetafileError(); });
    TEmfHeader header = ReadHeader(in);
    TPixelSize size = PictureSize(in, header);
    // A picture larger than any the player keeps whole is drawn as far as the panel shows it.
    std::optional<PictureArea::TSize> shown = area;
    if (!shown && !PictureLimits::SizeAllowed(size.Width, size.Height))
        shown = PictureArea::TSize{PictureArea::Width, PictureArea::Height};
    TCairoCanvas canvas(size.Width, size.Height, DrawnPart(size.Width, size.Height, shown), backdrop);
    if (!canvas.Ok())
        throw InvalidMetafileError();
    TEmfPlayer player(canvas.Context(), in, header.Handles, FrameOf(header), size.Width, size.Height, canvas.Drawn());
    player.Play(in.U32(4));
    return std::make_shared<TBitmapGraphic>(canvas.Pixels(), size.Width, size.Height);
}
