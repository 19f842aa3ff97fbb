#include "CairoCanvas.h"

#include "PictureLimits.h"

PictureArea::TPart DrawnPart(int width, int height, const std::optional<PictureArea::TSize>& area)
{
    if (!area)
        return {0, 0, width, height};
    return PictureArea::ShownPart({width, height}, *area);
}

TCairoCanvas::TCairoCanvas(int width, int height, PictureArea::TPart drawn, TColor backdrop)
    : Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, drawn.Width, drawn.Height)), Cr(cairo_create(Surface)),
      Width(width), Height(height), Backdrop(backdrop & 0xFFFFFF), Part(drawn)
{
    cairo_surface_set_device_offset(Surface, -drawn.Left, -drawn.Top);
    SetSourceColour(Cr, backdrop);
    cairo_paint(Cr);
}

TCairoCanvas::~TCairoCanvas()
{
    cairo_destroy(Cr);
    cairo_surface_destroy(Surface);
}

bool TCairoCanvas::Ok() const
{
    return cairo_surface_status(Surface) == CAIRO_STATUS_SUCCESS && cairo_status(Cr) == CAIRO_STATUS_SUCCESS;
}

TRgbImage TCairoCanvas::Pixels()
{
    cairo_surface_flush(Surface);
    TRgbImage image;
    PictureArea::TPart kept{0, 0, Width, Height};
    if (!PictureLimits::SizeAllowed(Width, Height))
        kept = Part;
    image.Left = kept.Left;
    image.Top = kept.Top;
    image.Width = kept.Width;
    image.Height = kept.Height;
    image.Pixels.assign(static_cast<size_t>(kept.Width) * static_cast<size_t>(kept.Height), Backdrop);
    const unsigned char* data = cairo_image_surface_get_data(Surface);
    int stride = cairo_image_surface_get_stride(Surface);
    for (int y = 0; y < Part.Height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        uint32_t* out = &image.Pixels[static_cast<size_t>(Part.Top - kept.Top + y) * static_cast<size_t>(kept.Width) +
                                      static_cast<size_t>(Part.Left - kept.Left)];
        for (int x = 0; x < Part.Width; ++x)
            out[x] = row[x] & 0xFFFFFF;
    }
    return image;
}

void SetSourceColour(cairo_t* cr, TColor colour)
{
    cairo_set_source_rgb(cr, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
}
