// Plays the records of a Windows metafile onto cairo: the common GDI drawing records with pens
// (solid, or dashed and dotted one pixel wide), brushes (solid and hatched) and fonts (Shift-JIS
// text), pattern fills, device-independent bitmaps copied in place, and clipping by rectangles
// and rectangle regions, mapped from the metafile's window onto the picture. Records it does not
// draw (palettes, pattern brushes, region painting, raster operations other than plain copies,
// fills and inversion) are skipped.
#pragma once

#include "LittleEndian.h"
#include "MetafileFonts.h"

#include "platform/Control.h"
#include "platform/PictureArea.h"

#include <cairo.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

class TWmfPlayer {
public:
    // The logical rectangle shown until the metafile sets its own window.
    struct TWindow {
        double OrgX, OrgY, ExtX, ExtY;
    };

    // Draws a width x height picture of which only the `drawn` part is kept.
    TWmfPlayer(cairo_t* cr, const TLittleEndian& file, int objectCount, TWindow window, int width, int height,
               PictureArea::TPart drawn);

    // Where the window lands, in picture pixels: the whole picture unless set otherwise.
    struct TViewport {
        double Left, Top, Width, Height;
    };
    void SetViewport(TViewport viewport) { Viewport = viewport; }

    // The span of picture pixels that the coordinates played so far land on (the left and top
    // above the right and bottom while none has).
    struct TReach {
        double Left, Top, Right, Bottom;
    };
    const TReach& Reach() const { return Reached; }

    // What the metafile's bounds count. Playing it again, the work of the earlier plays counts too.
    struct TWork {
        int64_t BitmapPixels = 0;
        int64_t StyledSteps = 0;
        double TextPixels = 0;
        size_t ClipWork = 0;
    };
    TWork Work() const { return {BitmapPixels, StyledSteps, TextPixels, ClipWork}; }
    void ContinueWork(const TWork& done)
    {
        BitmapPixels = done.BitmapPixels;
        StyledSteps = done.StyledSteps;
        TextPixels = done.TextPixels;
        ClipWork = done.ClipWork;
    }

    // Plays the records from `offset` to META_EOF or the end of the file. A record that claims
    // more bytes than the file holds, or fewer than it needs, raises the file's damage error.
    void Play(size_t offset);

private:
    static constexpr int PenNull = 5;       // PS_NULL: no outline
    static constexpr int BrushNull = 1;     // BS_NULL: no fill
    static constexpr int BrushHatched = 2;  // BS_HATCHED: one of the six 8 x 8 hatch patterns

    struct TPen {
        int Style = 0;  // PS_SOLID; PS_DASH 1 to PS_DASHDOTDOT 4 are styled
        int Width = 0;  // logical units; 0 draws one pixel
        TColor Colour = 0x000000;
    };
    struct TBrush {
        int Style = 0;  // BS_SOLID
        TColor Colour = 0xFFFFFF;
        int Hatch = 0;  // HS_HORIZONTAL 0 to HS_DIAGCROSS 5
    };
    // Device pixels, right and bottom edge left out.
    struct TPixelRect {
        int Left, Top, Right, Bottom;
    };
    struct TRegion {
        std::vector<TPixelRect> Rects;  // logical units, as the record gives them
    };
    struct TFont {
        int Height = 0;  // < 0: character height, > 0: cell height, 0: default
        int Weight = 400;
        bool Italic = false;
        int Escapement = 0;  // tenths of a degree
        bool FixedPitch = false;
        std::string Face;  // UTF-8
        int Charset = MetafileFonts::DefaultCharset;
    };
    struct TOther {};  // palettes, pattern brushes: hold a slot, draw nothing
    using TObject = std::variant<TPen, TBrush, TFont, TRegion, TOther>;
    using TClip = std::optional<std::vector<TPixelRect>>;  // nothing: the whole picture

    struct TState {
        TPen Pen;
        TBrush Brush;
        TFont Font;
        TColor TextColour = 0x000000, BkColour = 0xFFFFFF;
        bool OpaqueBackground = true;
        int TextAlign = 0;
        bool Winding = false;
        TWindow Window{};
        double CurX = 0, CurY = 0;  // logical
        TClip Clip;
    };

    struct TRecord {
        size_t Params;  // offset of the first parameter
        size_t Words;   // parameter words the record holds
    };

    void Dispatch(uint16_t function, const TRecord& r);
    int16_t Param(const TRecord& r, size_t index) const;
    TColor ColourParam(const TRecord& r, size_t index) const;
    std::string BytesParam(const TRecord& r, size_t index, size_t length) const;

    void CreateObject(TObject object);
    TRegion ReadRegion(const TRecord& r) const;
    TPixelRect PixelRect(double l, double t, double r, double b) const;
    void IntersectClip(const TPixelRect& rect);
    void ExcludeClip(const TPixelRect& rect);
    void SelectClipRegion(int index);
    void ApplyClip();
    // Adds `rects` clipping rectangles handled to the metafile's count; past its bound the
    // metafile is damaged.
    void CountClipWork(size_t rects);
    void SelectObject(int index);
    void SaveDc();
    void RestoreDc(int which);

    double X(double x) const;
    double Y(double y) const;
    double ScaleX() const;
    double ScaleY() const;

    void RectanglePath(double l, double t, double r, double b, double inset);
    void EllipsePath(double l, double t, double r, double b, double inset);
    void FillAndStroke(bool fill);
    bool SetPenSource();
    bool SetBrushSource();
    bool DashedPen() const;
    void StrokeDashed();
    void DrawRectangle(const TRecord& r);
    void DrawRoundRect(const TRecord& r);
    void DrawEllipse(const TRecord& r);
    void DrawArc(const TRecord& r, int kind);
    void DrawPoly(const TRecord& r, bool closed);
    void DrawPolyPolygon(const TRecord& r);
    void DrawLineTo(const TRecord& r);
    TFont ReadFont(const TRecord& r) const;
    // Selects the font's first face at its size; gives all the faces its text is drawn with.
    MetafileFonts::TChoice SelectFont();
    // Adds the glyph pixels of `sjis` at `height` pixels to the metafile's count; past its bound
    // the metafile is damaged.
    void CountGlyphPixels(const std::string& sjis, double height);
    double LayOutRuns(const std::vector<MetafileFonts::TRun>& runs, const MetafileFonts::TChoice& choice,
                      const std::vector<double>& spacing, std::vector<double>& starts);
    void DrawText(const std::string& bytes, double x, double y, int options, const TRecord* rect,
                  const std::vector<double>& spacing = {});
    void TextOut(const TRecord& r);
    void ExtTextOut(const TRecord& r);

    struct TBlit {
        uint32_t RasterOp;
        double SrcX, SrcY, SrcWidth, SrcHeight;      // bitmap pixels
        double DestX, DestY, DestWidth, DestHeight;  // logical units
        size_t DibWord;                              // parameter index where the bitmap starts; 0 when there is none
    };
    void StretchDib(const TRecord& r);
    void DibStretchBlt(const TRecord& r);
    void DibBitBlt(const TRecord& r);
    void SetDibToDevice(const TRecord& r);
    void PatBlt(const TRecord& r);
    void Blit(const TRecord& r, const TBlit& blit);
    void DrawDib(const std::string& dib, const TBlit& blit);
    void FillBlit(const TBlit& blit, uint32_t rasterOp);

    cairo_t* Cr;
    const TLittleEndian& In;
    int Width, Height;
    PictureArea::TPart Drawn;
    TViewport Viewport;
    mutable TReach Reached;  // widened by every coordinate mapped
    std::vector<std::optional<TObject>> Objects;
    TState State;
    std::vector<TState> Saved;
    int64_t BitmapPixels = 0;  // decoded so far
    int64_t StyledSteps = 0;   // walked so far
    double TextPixels = 0;     // glyph pixels shown so far
    size_t ClipWork = 0;       // clipping rectangles handled so far
};
