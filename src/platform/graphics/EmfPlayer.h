// Reads the records of an enhanced metafile into the GDI drawing model the Windows metafile is
// drawn with (WmfPlayer.h): the 32-bit forms of the same drawing calls, plus the mapping modes,
// the world transformation, paths (filled, stroked, or clipping) and Bézier curves. Only the
// `drawn` part of the picture costs drawing, whatever the size of its frame.
#pragma once

#include "WmfPlayer.h"

class TEmfPlayer {
public:
    // The frame in pixels of the reference device (the rectangle stretched onto the picture),
    // and that device's pixels to the millimetre.
    struct TFrame {
        double Left, Top, Width, Height;
        double PixelsPerMmX, PixelsPerMmY;
    };

    TEmfPlayer(cairo_t* cr, const TLittleEndian& file, int handles, TFrame frame, int width, int height,
               PictureArea::TPart drawn);

    // Plays the records from `offset` to EMR_EOF. A record that claims more bytes than the file
    // holds, or fewer than it needs, and a file that ends before EMR_EOF, raise the file's damage
    // error.
    void Play(size_t offset);

private:
    using TPoint = TWmfPlayer::TPoint;
    using TLogicalRect = TWmfPlayer::TLogicalRect;

    struct TRecord {
        size_t At;    // offset of the record in the file
        size_t Size;  // bytes, type and size included
    };
    // How logical units become reference-device pixels; saved and restored with the context.
    struct TPage {
        int MapMode = 1;  // MM_TEXT
        TPoint WindowOrg{0, 0}, WindowExt{1, 1}, ViewportOrg{0, 0}, ViewportExt{1, 1};
        cairo_matrix_t World{1, 0, 0, 1, 0, 0};
    };

    void Dispatch(uint32_t type, const TRecord& r);
    bool DispatchState(uint32_t type, const TRecord& r);
    bool DispatchFigure(uint32_t type, const TRecord& r);
    uint32_t U32(const TRecord& r, size_t at) const;
    int32_t I32(const TRecord& r, size_t at) const;
    TColor Colour(const TRecord& r, size_t at) const;
    TPoint PointL(const TRecord& r, size_t at) const;
    TLogicalRect RectL(const TRecord& r, size_t at) const;
    std::string Bytes(const TRecord& r, size_t offset, size_t length) const;
    std::vector<TPoint> Points(const TRecord& r, size_t at, size_t count, bool small) const;

    // Objects and the device context.
    void CreateObject(uint32_t index, TWmfPlayer::TObject object);
    void CreatePen(const TRecord& r);
    void CreateExtPen(const TRecord& r);
    void CreateFont(const TRecord& r);
    void SelectObject(uint32_t index);
    void SelectStockObject(uint32_t stock);
    void SaveDc();
    void RestoreDc(int32_t which);

    // Mapping.
    void SetWorldTransform(const TRecord& r, bool modify);
    void SetPage(const TPage& page);
    bool MapLogical(const TPage& page, cairo_matrix_t& matrix) const;
    TWmfPlayer::TPixelRect PixelRect(const TLogicalRect& rect) const;

    // Figures and paths.
    void DrawPolyRecord(uint32_t type, const TRecord& r);
    void DrawPolyPolyRecord(uint32_t type, const TRecord& r);
    void DrawShape(uint32_t type, const TRecord& r);
    void DrawArcTo(const TLogicalRect& box, TPoint start, TPoint end);
    void AddLines(TWmfPlayer::TPathData& path, const std::vector<TPoint>& points, bool fromCurrent, bool bezier,
                  bool close);
    void AddShape(uint32_t type, const TRecord& r);
    void PathRecord(uint32_t type, const TRecord& r);
    void PaintPath(const TWmfPlayer::TPathData& path, bool fill, bool stroke);
    void PathElement(TWmfPlayer::TPathData& path, cairo_path_data_type_t type, std::initializer_list<TPoint> points);
    TPoint Device(TPoint logical) const;

    // Clipping, text, bitmaps and gradients.
    void SelectClipRegion(const TRecord& r);
    void TextOut(const TRecord& r, bool wide);
    void SmallTextOut(const TRecord& r);
    void DrawText(const MetafileFonts::TText& text, TPoint at, int options, const TLogicalRect* rect);
    void GradientFill(const TRecord& r);
    static MetafileFonts::TText WideText(const std::string& raw, std::vector<double> dx);
    void DrawBitmapRecord(uint32_t type, const TRecord& r);

    const TLittleEndian& In;
    cairo_t* Cr;
    TWmfPlayer Gdi;
    int Width, Height;
    double PixelsPerMmX, PixelsPerMmY;  // of the reference device
    cairo_matrix_t DeviceToPicture;
    cairo_matrix_t Mapping;  // logical units to picture pixels
    TPage Page;
    std::vector<TPage> SavedPages;
    bool InPath = false;         // figures go to the path instead of the picture
    bool FigureOpen = false;     // the path's last figure goes on from the current position
    TWmfPlayer::TPathData Path;  // picture pixels
};
