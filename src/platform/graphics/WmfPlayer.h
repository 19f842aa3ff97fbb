// The GDI drawing model both kinds of metafile are played onto cairo with: the device context's
// state (pens, solid, or dashed and dotted one pixel wide; brushes, solid and hatched; fonts;
// text colours and alignment; background mode; fill mode; the window onto the picture; current
// position; clipping by rectangles, regions and paths; saved contexts; the object table) and the
// drawing operations, in logical units. It also reads the records of a Windows metafile; the
// records of an enhanced metafile are read by TEmfPlayer (EmfPlayer.h) into the same model.
// Records neither draws (palettes, pattern brushes, region painting, raster operations other
// than plain copies, fills and inversion) are skipped.
#pragma once

#include "LittleEndian.h"
#include "MetafileFonts.h"

#include "platform/Control.h"
#include "platform/PictureArea.h"

#include <cairo.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class TWmfPlayer {
    friend class TEmfPlayer;

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
    enum ArcKind { ArcOnly, ArcPie, ArcChord };
    static constexpr uint32_t RopSrcCopy = 0x00CC0020;    // the bitmap copied as it is
    static constexpr uint32_t RopSrcAnd = 0x008800C6;     // bitmap AND picture
    static constexpr uint32_t RopSrcPaint = 0x00EE0086;   // bitmap OR picture
    static constexpr uint32_t RopSrcInvert = 0x00660046;  // bitmap XOR picture
    static constexpr int DibRgbColours = 0;               // a bitmap's own colours, not palette indices
    static constexpr double DefaultFontPixels = 12;
    // Glyphs are rasterised whole: a damaged height must not ask for gigabyte-sized glyphs.
    static constexpr double MaxFontPixels = 1024;

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
        std::string Face;  // UTF-8; empty when the record names none
        int Charset = MetafileFonts::DefaultCharset;
    };
    struct TOther {};  // palettes, pattern brushes: hold a slot, draw nothing
    using TObject = std::variant<TPen, TBrush, TFont, TRegion, TOther>;
    using TClip = std::optional<std::vector<TPixelRect>>;  // nothing: the whole picture
    using TPathData = std::vector<cairo_path_data_t>;      // picture pixels
    struct TPoint {
        double X, Y;  // logical
    };
    struct TLogicalRect {
        double Left, Top, Right, Bottom;
    };

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
        std::vector<std::shared_ptr<const TPathData>> ClipPaths;  // each clips further
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
    void OffsetClip(double x, double y);
    void CombineClip(const std::vector<TPixelRect>& rects, int mode);
    void ExcludeClip(const TPixelRect& rect);
    void SelectClipRegion(int index);
    void ApplyClip();
    // Adds `rects` clipping rectangles handled to the metafile's count; past its bound the
    // metafile is damaged.
    void CountClipWork(size_t rects);
    static size_t ClipPathWork(const TPathData& path);
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
    void DrawRectangle(double l, double t, double r, double b);
    void DrawRoundRect(double l, double t, double r, double b, double width, double height);
    void DrawEllipse(double l, double t, double r, double b);
    void DrawArc(const TLogicalRect& box, TPoint start, TPoint end, int kind);
    void DrawPoly(const std::vector<TPoint>& points, bool closed);
    void DrawPolyPolygon(const std::vector<std::vector<TPoint>>& polygons);
    void DrawLineTo(double x, double y);
    void DrawPixel(double x, double y, TColor colour);
    std::vector<TPoint> ReadPoly(const TRecord& r);
    std::vector<std::vector<TPoint>> ReadPolyPolygon(const TRecord& r);
    TFont ReadFont(const TRecord& r) const;
    // The faces the selected font's text is drawn with.
    MetafileFonts::TChoice ChooseFaces() const;
    // Selects the first of the faces at the font's size.
    void SelectFont(const MetafileFonts::TChoice& choice);
    // Adds the glyph pixels of `characters` at `height` pixels to the metafile's count; past its
    // bound the metafile is damaged.
    void CountGlyphPixels(size_t characters, double height);
    double LayOutRuns(const std::vector<MetafileFonts::TRun>& runs, const MetafileFonts::TChoice& choice,
                      const std::vector<double>& spacing, std::vector<double>& starts);
    void DrawText(const MetafileFonts::TText& text, double x, double y, int options, const TLogicalRect* rect);
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
    void DrawDibBand(std::string dib, uint32_t scans, const TBlit& blit);
    static bool CombinesBitmap(uint32_t rasterOp);
    static cairo_operator_t BitmapOperator(uint32_t rasterOp);
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
