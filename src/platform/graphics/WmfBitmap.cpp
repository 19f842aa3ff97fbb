// Bitmap records of the metafile player: device-independent bitmaps stretched onto the picture.
#include "WmfPlayer.h"

#include "CairoCanvas.h"
#include "SdlPicture.h"
#include "platform/Errors.h"
#include "platform/StoryBounds.h"

namespace {

constexpr uint32_t PatCopy = 0x00F00021;
constexpr uint32_t DstInvert = 0x00550009;
constexpr uint32_t Blackness = 0x00000042;
constexpr uint32_t Whiteness = 0x00FF0062;
constexpr uint32_t BiBitfields = 3;
// The most bitmap pixels one metafile may have decoded. A run-length bitmap declares any size up
// to a whole picture's in a few bytes, and each costs its decoding: without this, a file of such
// records would keep the player busy for hours. Eight pictures' worth take well under a second.
constexpr int64_t MaxBitmapPixels = 8 * StoryBounds::PicturePixels;

// A bitmap file around a packed DIB (info header, colour table, bits), so the bitmap decoder can
// read it.
std::string BitmapFileOf(const std::string& dib)
{
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(dib[at + static_cast<size_t>(i)]);
        return v;
    };
    if (dib.size() < 40)
        return std::string();
    uint32_t headerSize = u32(0);
    if (headerSize < 40 || headerSize > dib.size())
        return std::string();
    uint32_t bitCount = static_cast<unsigned char>(dib[14]) | (static_cast<unsigned char>(dib[15]) << 8);
    uint32_t compression = u32(16), used = u32(32);
    uint64_t colours = used != 0 ? used : (bitCount <= 8 ? (1u << bitCount) : 0);
    uint64_t masks = (headerSize == 40 && compression == BiBitfields) ? 12 : 0;
    uint64_t offset = 14 + headerSize + masks + colours * 4;
    uint64_t size = 14 + dib.size();
    if (offset > size)
        return std::string();
    std::string file = "BM";
    for (uint64_t v : {size, uint64_t{0}, offset})
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>(v >> (8 * i));
    return file + dib;
}

}  // namespace

// The bitwise raster operations that mask a bitmap in, as cairo's blend of the same result on
// black-and-white pixels: AND as multiply, OR as screen, XOR as difference.
bool TWmfPlayer::CombinesBitmap(uint32_t rasterOp)
{
    return rasterOp == RopSrcCopy || rasterOp == RopSrcAnd || rasterOp == RopSrcPaint || rasterOp == RopSrcInvert;
}

cairo_operator_t TWmfPlayer::BitmapOperator(uint32_t rasterOp)
{
    switch (rasterOp) {
    case RopSrcAnd:
        return CAIRO_OPERATOR_MULTIPLY;
    case RopSrcPaint:
        return CAIRO_OPERATOR_SCREEN;
    case RopSrcInvert:
        return CAIRO_OPERATOR_DIFFERENCE;
    default:
        return CAIRO_OPERATOR_OVER;
    }
}

// META_STRETCHDIB: raster op, colour use, source and destination boxes, the bitmap.
void TWmfPlayer::StretchDib(const TRecord& r)
{
    if (Param(r, 2) != DibRgbColours)
        return;  // palette-relative colours mean nothing without the palette of a device
    uint32_t op = static_cast<uint16_t>(Param(r, 0)) | (uint32_t{static_cast<uint16_t>(Param(r, 1))} << 16);
    Blit(r, {op, double(Param(r, 6)), double(Param(r, 5)), double(Param(r, 4)), double(Param(r, 3)),
             double(Param(r, 10)), double(Param(r, 9)), double(Param(r, 8)), double(Param(r, 7)), 11});
}

// META_DIBSTRETCHBLT: with a bitmap, or (one word longer, no bitmap) a plain fill.
void TWmfPlayer::DibStretchBlt(const TRecord& r)
{
    uint32_t op = static_cast<uint16_t>(Param(r, 0)) | (uint32_t{static_cast<uint16_t>(Param(r, 1))} << 16);
    if (r.Words <= 11) {
        FillBlit(
            {op, 0, 0, 0, 0, double(Param(r, 10)), double(Param(r, 9)), double(Param(r, 8)), double(Param(r, 7)), 0},
            op);
        return;
    }
    Blit(r, {op, double(Param(r, 5)), double(Param(r, 4)), double(Param(r, 3)), double(Param(r, 2)),
             double(Param(r, 9)), double(Param(r, 8)), double(Param(r, 7)), double(Param(r, 6)), 10});
}

// META_DIBBITBLT: as above without scaling.
void TWmfPlayer::DibBitBlt(const TRecord& r)
{
    uint32_t op = static_cast<uint16_t>(Param(r, 0)) | (uint32_t{static_cast<uint16_t>(Param(r, 1))} << 16);
    if (r.Words <= 9) {
        FillBlit(
            {op, 0, 0, 0, 0, double(Param(r, 8)), double(Param(r, 7)), double(Param(r, 6)), double(Param(r, 5)), 0},
            op);
        return;
    }
    double w = Param(r, 5), h = Param(r, 4);
    Blit(r, {op, double(Param(r, 3)), double(Param(r, 2)), w, h, double(Param(r, 7)), double(Param(r, 6)), w, h, 8});
}

// META_PATBLT: raster op, height, width, then the top-left corner (y before x).
void TWmfPlayer::PatBlt(const TRecord& r)
{
    uint32_t op = static_cast<uint16_t>(Param(r, 0)) | (uint32_t{static_cast<uint16_t>(Param(r, 1))} << 16);
    FillBlit({op, 0, 0, 0, 0, double(Param(r, 5)), double(Param(r, 4)), double(Param(r, 3)), double(Param(r, 2)), 0},
             op);
}

void TWmfPlayer::FillBlit(const TBlit& blit, uint32_t rasterOp)
{
    cairo_save(Cr);
    bool fill = true;
    if (rasterOp == PatCopy) {
        fill = SetBrushSource();
    } else if (rasterOp == Blackness) {
        SetSourceColour(Cr, 0x000000);
    } else if (rasterOp == Whiteness) {
        SetSourceColour(Cr, 0xFFFFFF);
    } else if (rasterOp == DstInvert) {
        SetSourceColour(Cr, 0xFFFFFF);
        cairo_set_operator(Cr, CAIRO_OPERATOR_DIFFERENCE);  // |white - d| on an opaque picture: not d
    } else {
        fill = false;
    }
    if (fill) {
        cairo_new_path(Cr);
        cairo_rectangle(Cr, X(blit.DestX), Y(blit.DestY), blit.DestWidth * ScaleX(), blit.DestHeight * ScaleY());
        cairo_fill(Cr);
    }
    cairo_restore(Cr);
}

// META_SETDIBTODEV: colour use, the band of scan lines the record holds, the source box, the
// destination corner, the bitmap. Its pixels are copied one to one onto the device, unscaled.
void TWmfPlayer::SetDibToDevice(const TRecord& r)
{
    if (Param(r, 0) != DibRgbColours)
        return;
    uint32_t scans = static_cast<uint16_t>(Param(r, 1)), startScan = static_cast<uint16_t>(Param(r, 2));
    double width = Param(r, 6), height = Param(r, 5);
    TBlit blit{RopSrcCopy,
               double(Param(r, 4)),
               double(Param(r, 3)) - startScan,
               width,
               height,
               double(Param(r, 8)),
               double(Param(r, 7)),
               width / ScaleX(),
               height / ScaleY(),
               9};
    DrawDibBand(BytesParam(r, blit.DibWord, (r.Words - blit.DibWord) * 2), scans, blit);
}

// A bottom-up bitmap recorded in bands holds only the band's scan lines, counted from the
// bitmap's bottom: it is drawn as a bitmap of that height.
void TWmfPlayer::DrawDibBand(std::string dib, uint32_t scans, const TBlit& blit)
{
    if (dib.size() >= 12 && static_cast<signed char>(dib[11]) >= 0) {
        uint32_t declared = 0;
        for (int i = 3; i >= 0; --i)
            declared = (declared << 8) | static_cast<unsigned char>(dib[8 + static_cast<size_t>(i)]);
        if (scans < declared)
            for (int i = 0; i < 4; ++i)
                dib[8 + static_cast<size_t>(i)] = static_cast<char>(scans >> (8 * i));
    }
    DrawDib(dib, blit);
}

void TWmfPlayer::Blit(const TRecord& r, const TBlit& blit)
{
    if (blit.RasterOp != RopSrcCopy) {
        FillBlit(blit, blit.RasterOp);
        return;
    }
    DrawDib(BytesParam(r, blit.DibWord, (r.Words - blit.DibWord) * 2), blit);
}

void TWmfPlayer::DrawDib(const std::string& dib, const TBlit& blit)
{
    std::shared_ptr<TGraphic> bitmap;
    try {
        bitmap = LoadBitmapPicture(BitmapFileOf(dib));
    } catch (const EMissingLibrary&) {
        throw;
    } catch (const EInvalidGraphic&) {
        return;  // a bitmap the decoder cannot read is left out, as a device would skip it
    }
    const TRgbImage& pixels = bitmap->Render();
    BitmapPixels += int64_t{pixels.Width} * pixels.Height;
    if (BitmapPixels > MaxBitmapPixels)
        In.Damaged();
    double x = X(blit.DestX), y = Y(blit.DestY), w = blit.DestWidth * ScaleX(), h = blit.DestHeight * ScaleY();
    if (blit.SrcWidth == 0 || blit.SrcHeight == 0 || w == 0 || h == 0)
        return;  // nothing to draw, and a zero scale would break the cairo context for good
    // Source rows of a bottom-up bitmap (positive height) count from its bottom edge.
    bool bottomUp = static_cast<signed char>(dib[11]) >= 0;
    double srcTop = bottomUp ? pixels.Height - blit.SrcY - blit.SrcHeight : blit.SrcY;
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels.Pixels.data())), CAIRO_FORMAT_RGB24, pixels.Width,
        pixels.Height, pixels.Width * 4);
    cairo_save(Cr);
    cairo_new_path(Cr);
    cairo_rectangle(Cr, x, y, w, h);
    cairo_clip(Cr);
    cairo_translate(Cr, x, y);
    cairo_scale(Cr, w / blit.SrcWidth, h / blit.SrcHeight);
    cairo_set_source_surface(Cr, source, -blit.SrcX, -srcTop);
    cairo_pattern_set_filter(cairo_get_source(Cr), CAIRO_FILTER_NEAREST);  // GDI's stretch drops or repeats pixels
    cairo_set_operator(Cr, BitmapOperator(blit.RasterOp));
    cairo_paint(Cr);
    cairo_restore(Cr);
    cairo_surface_destroy(source);
}
