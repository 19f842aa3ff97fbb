// Drawing surfaces for the formats we render ourselves (metafiles).
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"
#include "platform/PictureArea.h"

#include <cairo.h>

#include <memory>
#include <optional>

// The part of a width x height picture worth drawing: what `area` shows of it when the picture is
// centred there, or the whole picture when no area is given.
PictureArea::TPart DrawnPart(int width, int height, const std::optional<PictureArea::TSize>& area);

// An ARGB32 cairo surface for the `drawn` part of a width x height picture, filled with the
// colour the picture is drawn over. Drawing uses the picture's own coordinates (the surface's
// device offset moves them), so whatever falls outside the part costs little and is dropped.
class TCairoCanvas {
public:
    // Raises nothing; a surface that cannot be made reports through Ok().
    TCairoCanvas(int width, int height, PictureArea::TPart drawn, TColor backdrop);
    ~TCairoCanvas();
    TCairoCanvas(const TCairoCanvas&) = delete;
    TCairoCanvas& operator=(const TCairoCanvas&) = delete;

    bool Ok() const;
    cairo_t* Context() const { return Cr; }
    const PictureArea::TPart& Drawn() const { return Part; }

    // The whole picture as 0x00RRGGBB pixels: the drawing in its part (the surface is opaque: the
    // backdrop was painted first), the backdrop elsewhere. A picture larger than the player keeps
    // whole gives only its drawn part.
    TRgbImage Pixels();

private:
    cairo_surface_t* Surface;
    cairo_t* Cr;
    int Width, Height;
    TColor Backdrop;
    PictureArea::TPart Part;
};

// Sets the cairo source colour from 0x00RRGGBB.
void SetSourceColour(cairo_t* cr, TColor colour);
