#include "EmfPicture.h"

#include "CairoCanvas.h"
#include "LittleEndian.h"
#include "MetafileSize.h"
#include "PictureLimits.h"
#include "SharedLibrary.h"
#include "platform/Errors.h"

#include <emf2svg.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint32_t EmrHeader = 1;
constexpr uint32_t EmrEof = 14;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr size_t HeaderSize = 88;
constexpr size_t DescriptionAt = 60;  // its length in characters, then its offset

struct TRect32 {
    int32_t Left, Top, Right, Bottom;
};

struct TEmfHeader {
    TRect32 Bounds;                     // device pixels of the reference device
    TRect32 Frame;                      // hundredths of a millimetre
    int32_t DeviceWidth, DeviceHeight;  // reference device, pixels
    int32_t DeviceWidthMm, DeviceHeightMm;
};

TRect32 ReadRect(const TLittleEndian& in, size_t at)
{
    return {in.I32(at), in.I32(at + 4), in.I32(at + 8), in.I32(at + 12)};
}

TEmfHeader ReadHeader(const TLittleEndian& in)
{
    if (in.U32(0) != EmrHeader || in.U32(40) != EmfSignature || in.U32(4) < HeaderSize)
        in.Damaged();
    TEmfHeader h{ReadRect(in, 8), ReadRect(in, 24), in.I32(72), in.I32(76), in.I32(80), in.I32(84)};
    if (h.DeviceWidth <= 0 || h.DeviceHeight <= 0 || h.DeviceWidthMm <= 0 || h.DeviceHeightMm <= 0)
        in.Damaged();
    return h;
}

// Every record lies inside the file, is a whole number of 32-bit words, and the list ends with
// EMR_EOF: the converter walks the records by their sizes and is not fed a chain that leaves the
// file, nor more records or bytes than it can convert in reasonable time and memory.
void CheckRecords(const TLittleEndian& in)
{
    size_t at = 0;
    for (size_t count = 1;; ++count) {
        if (count > MaxEmfRecords)
            in.Damaged();
        uint32_t type = in.U32(at);
        uint32_t size = in.U32(at + 4);
        if (size < 8 || size % 4 != 0 || !in.Has(at, size) || at + size > MaxEmfBytes)
            in.Damaged();
        if (type == EmrEof)
            return;
        at += size;
    }
}

// libemf2svg and librsvg bring glib's gio, pango, libxml2 and ICU with them, some twenty
// libraries that only enhanced metafiles need: they are opened when the first one is drawn
// rather than at every start. Their sonames come from the build (CMakeLists.txt).
TSharedLibrary& Emf2SvgLibrary()
{
    static TSharedLibrary library(RK_EMF2SVG_SONAME, "enhanced metafiles", "libemf2svg1");
    return library;
}

struct TRsvg {
    decltype(&rsvg_handle_new_from_data) NewFromData;
    decltype(&rsvg_handle_render_document) RenderDocument;
    decltype(&g_object_unref) ObjectUnref;
    decltype(&g_clear_error) ClearError;
};

// Raises EMissingLibrary while the library cannot be opened; asks again at the next picture.
const TRsvg& Rsvg()
{
    static TSharedLibrary library(RK_RSVG_SONAME, "enhanced metafiles", "librsvg2-2");
    static const TRsvg rsvg{
        library.Function<decltype(&rsvg_handle_new_from_data)>("rsvg_handle_new_from_data"),
        library.Function<decltype(&rsvg_handle_render_document)>("rsvg_handle_render_document"),
        library.Function<decltype(&g_object_unref)>("g_object_unref"),
        library.Function<decltype(&g_clear_error)>("g_clear_error"),
    };
    return rsvg;
}

struct TPixelSize {
    int Width, Height;
};

TPixelSize PictureSize(const TLittleEndian& in, const TEmfHeader& h)
{
    int64_t width = MetafileSize::PixelsFromHundredthMm(int64_t{h.Frame.Right} - h.Frame.Left);
    int64_t height = MetafileSize::PixelsFromHundredthMm(int64_t{h.Frame.Bottom} - h.Frame.Top);
    if (!PictureLimits::SizeAllowed(width, height))
        in.Damaged();
    return {static_cast<int>(width), static_cast<int>(height)};
}

std::string ConvertToSvg(const std::string& file)
{
    generatorOptions options{};
    options.nameSpace = const_cast<char*>("");
    options.emfplus = true;
    options.svgDelimiter = true;
    char* svg = nullptr;
    size_t length = 0;
    std::string copy = file;  // the converter takes a non-const buffer
    // The header's description (the names of the program and the picture) is never drawn, and
    // the converter reads it wherever the header says it is, inside the file or not: it gets none.
    std::fill(copy.begin() + DescriptionAt, copy.begin() + DescriptionAt + 8, '\0');
    static const auto convert = Emf2SvgLibrary().Function<decltype(&emf2svg)>("emf2svg");
    int ok = convert(copy.data(), copy.size(), &svg, &length, &options);
    std::string out = ok && svg ? std::string(svg, length) : std::string();
    std::free(svg);
    if (out.empty())
        throw InvalidMetafileError();
    return out;
}

// The SVG is in reference-device pixels with the bounds' corner at its origin; the frame,
// converted to the same pixels, is stretched onto the picture.
void DrawSvg(cairo_t* cr, const std::string& svg, const TEmfHeader& h, TPixelSize size)
{
    const TRsvg& rsvg = Rsvg();
    GError* error = nullptr;
    RsvgHandle* handle = rsvg.NewFromData(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
    if (!handle) {
        rsvg.ClearError(&error);
        throw InvalidMetafileError();
    }
    double pxPerMmX = double(h.DeviceWidth) / h.DeviceWidthMm;
    double pxPerMmY = double(h.DeviceHeight) / h.DeviceHeightMm;
    double frameLeft = h.Frame.Left / 100.0 * pxPerMmX, frameTop = h.Frame.Top / 100.0 * pxPerMmY;
    double frameWidth = (double(h.Frame.Right) - h.Frame.Left) / 100.0 * pxPerMmX;
    double frameHeight = (double(h.Frame.Bottom) - h.Frame.Top) / 100.0 * pxPerMmY;
    cairo_save(cr);
    if (frameWidth > 0 && frameHeight > 0)
        cairo_scale(cr, size.Width / frameWidth, size.Height / frameHeight);
    RsvgRectangle viewport{h.Bounds.Left - frameLeft, h.Bounds.Top - frameTop, double(h.Bounds.Right) - h.Bounds.Left,
                           double(h.Bounds.Bottom) - h.Bounds.Top};
    gboolean drawn = rsvg.RenderDocument(handle, cr, &viewport, &error);
    cairo_restore(cr);
    rsvg.ObjectUnref(handle);
    rsvg.ClearError(&error);
    if (!drawn)
        throw InvalidMetafileError();
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
    CheckRecords(in);
    TPixelSize size = PictureSize(in, header);
    std::string svg = ConvertToSvg(file);
    TCairoCanvas canvas(size.Width, size.Height, DrawnPart(size.Width, size.Height, area), backdrop);
    if (!canvas.Ok())
        throw InvalidMetafileError();
    DrawSvg(canvas.Context(), svg, header, size);
    return std::make_shared<TBitmapGraphic>(canvas.Pixels());
}
