// Drawing surfaces for the formats we render ourselves (metafiles).
#pragma once

#include "platform/Control.h"
#include "platform/Graphic.h"

#include <cairo.h>

#include <memory>

// An ARGB32 cairo surface of a picture's size, filled with the colour the picture is drawn over.
class TCairoCanvas {
public:
    // Raises nothing; a surface that cannot be made reports through Ok().
    TCairoCanvas(int width, int height, TColor backdrop);
    ~TCairoCanvas();
    TCairoCanvas(const TCairoCanvas&) = delete;
    TCairoCanvas& operator=(const TCairoCanvas&) = delete;

    bool Ok() const;
    cairo_t* Context() const { return Cr; }

    // The drawing as 0x00RRGGBB pixels (the surface is opaque: the backdrop was painted first).
    TRgbImage Pixels();

private:
    cairo_surface_t* Surface;
    cairo_t* Cr;
    int Width, Height;
};

// Sets the cairo source colour from 0x00RRGGBB.
void SetSourceColour(cairo_t* cr, TColor colour);
