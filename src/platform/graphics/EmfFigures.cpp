// The drawing records of the enhanced-metafile reader: figures, paths, clipping, bitmaps and
// gradients, each decoded into the drawing model's operations (text is in EmfText.cpp).
#include "EmfPlayer.h"

#include "EmfRecords.h"

#include <cmath>
#include <numbers>

namespace {

// Region operations of EMR_SELECTCLIPPATH and EMR_EXTSELECTCLIPRGN.
constexpr uint32_t RgnAnd = 1, RgnCopy = 5;
constexpr uint32_t RegionHeaderBytes = 32;  // size, type, count, bytes, bounds
constexpr uint32_t GradientTriangle = 2;    // GRADIENT_FILL_RECT_H 0, _V 1
constexpr size_t VertexBytes = 16;          // x, y, then 16-bit red, green, blue, alpha
// The most elements a path may gather, some 64 MB of them: more than a file's 16 MB of records
// could make of anything but rectangles and ellipses, which a real drawing does not heap up.
constexpr size_t MaxPathElements = size_t{4} << 20;

}  // namespace

bool TEmfPlayer::DispatchFigure(uint32_t type, const TRecord& r)
{
    switch (type) {
    case EmrLineTo:
        if (TPoint p = PointL(r, 8); InPath)
            AddLines(Path, {p}, true, false, false);
        else
            Gdi.DrawLineTo(p.X, p.Y);
        break;
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16:
        DrawPolyRecord(type, r);
        break;
    case EmrPolyPolyline:
    case EmrPolyPolygon:
    case EmrPolyPolyline16:
    case EmrPolyPolygon16:
        DrawPolyPolyRecord(type, r);
        break;
    case EmrRectangle:
    case EmrRoundRect:
    case EmrEllipse:
    case EmrArc:
    case EmrChord:
    case EmrPie:
    case EmrArcTo:
        DrawShape(type, r);
        break;
    case EmrSetPixelV: {
        TPoint p = PointL(r, 8);
        Gdi.DrawPixel(p.X, p.Y, Colour(r, 16));
        break;
    }
    case EmrBeginPath:
    case EmrEndPath:
    case EmrCloseFigure:
    case EmrFillPath:
    case EmrStrokeAndFillPath:
    case EmrStrokePath:
    case EmrSelectClipPath:
    case EmrAbortPath:
        PathRecord(type, r);
        break;
    case EmrIntersectClipRect:
        Gdi.IntersectClip(PixelRect(RectL(r, 8)));
        break;
    case EmrExcludeClipRect:
        Gdi.ExcludeClip(PixelRect(RectL(r, 8)));
        break;
    case EmrOffsetClipRgn: {
        TPoint p = PointL(r, 8);
        Gdi.OffsetClip(p.X, p.Y);
        break;
    }
    case EmrExtSelectClipRgn:
        SelectClipRegion(r);
        break;
    case EmrExtTextOutA:
    case EmrExtTextOutW:
        TextOut(r, type == EmrExtTextOutW);
        break;
    case EmrSmallTextOut:
        SmallTextOut(r);
        break;
    case EmrGradientFill:
        GradientFill(r);
        break;
    case EmrBitBlt:
    case EmrStretchBlt:
    case EmrSetDiBitsToDevice:
    case EmrStretchDiBits:
        DrawBitmapRecord(type, r);
        break;
    default:
        return false;
    }
    return true;
}

// EMR_POLYGON and its kin: bounds, the count of points, the points (16-bit in the records from
// EMR_POLYBEZIER16 on).
void TEmfPlayer::DrawPolyRecord(uint32_t type, const TRecord& r)
{
    bool small = type >= EmrPolyBezier16;
    uint32_t kind = small ? type - EmrPolyBezier16 + EmrPolyBezier : type;
    std::vector<TPoint> points = Points(r, 28, U32(r, 24), small);
    bool fromCurrent = kind == EmrPolyBezierTo || kind == EmrPolylineTo;
    bool bezier = kind == EmrPolyBezier || kind == EmrPolyBezierTo;
    if (InPath) {
        AddLines(Path, points, fromCurrent, bezier, kind == EmrPolygon);
        return;
    }
    if (bezier) {
        TWmfPlayer::TPathData curve;
        AddLines(curve, points, fromCurrent, true, false);
        PaintPath(curve, false, true);
        return;
    }
    if (fromCurrent) {
        points.insert(points.begin(), TPoint{Gdi.State.CurX, Gdi.State.CurY});
        Gdi.State.CurX = points.back().X;
        Gdi.State.CurY = points.back().Y;
    }
    Gdi.DrawPoly(points, kind == EmrPolygon);
}

// EMR_POLYPOLYGON, EMR_POLYPOLYLINE: bounds, the count of figures and of all their points, each
// figure's count, then the points.
void TEmfPlayer::DrawPolyPolyRecord(uint32_t type, const TRecord& r)
{
    bool small = type >= EmrPolyPolyline16;
    bool closed = type == EmrPolyPolygon || type == EmrPolyPolygon16;
    size_t figures = U32(r, 24);
    if (figures > r.Size / 4)
        In.Damaged();
    std::vector<TPoint> all = Points(r, 32 + 4 * figures, U32(r, 28), small);
    std::vector<std::vector<TPoint>> split;
    size_t used = 0;
    for (size_t i = 0; i < figures; ++i) {
        size_t count = U32(r, 32 + 4 * i);
        if (count > all.size() - used)
            In.Damaged();
        split.emplace_back(all.begin() + static_cast<ptrdiff_t>(used),
                           all.begin() + static_cast<ptrdiff_t>(used + count));
        used += count;
    }
    if (InPath) {
        for (const auto& figure : split)
            AddLines(Path, figure, false, false, closed);
    } else if (closed) {
        Gdi.DrawPolyPolygon(split);
    } else {
        TWmfPlayer::TPathData lines;
        for (const auto& figure : split)
            AddLines(lines, figure, false, false, false);
        PaintPath(lines, false, true);
    }
}

// Box records: a rectangle, then the corner's size (EMR_ROUNDRECT) or the arc's start and end.
void TEmfPlayer::DrawShape(uint32_t type, const TRecord& r)
{
    if (InPath) {
        AddShape(type, r);
        return;
    }
    TLogicalRect box = RectL(r, 8);
    switch (type) {
    case EmrRectangle:
        Gdi.DrawRectangle(box.Left, box.Top, box.Right, box.Bottom);
        break;
    case EmrRoundRect:
        Gdi.DrawRoundRect(box.Left, box.Top, box.Right, box.Bottom, I32(r, 24), I32(r, 28));
        break;
    case EmrEllipse:
        Gdi.DrawEllipse(box.Left, box.Top, box.Right, box.Bottom);
        break;
    case EmrArcTo:
        DrawArcTo(box, PointL(r, 24), PointL(r, 32));
        break;
    default:
        Gdi.DrawArc(box, PointL(r, 24), PointL(r, 32),
                    type == EmrArc   ? TWmfPlayer::ArcOnly
                    : type == EmrPie ? TWmfPlayer::ArcPie
                                     : TWmfPlayer::ArcChord);
        break;
    }
}

// A line from the current position to where the arc starts, the arc, and the current position
// left where it ends.
void TEmfPlayer::DrawArcTo(const TLogicalRect& box, TPoint start, TPoint end)
{
    double cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
    double rx = std::fabs(box.Right - box.Left) / 2, ry = std::fabs(box.Bottom - box.Top) / 2;
    if (rx <= 0 || ry <= 0)
        return;
    auto onEllipse = [&](TPoint p) {
        double a = std::atan2((p.Y - cy) / ry, (p.X - cx) / rx);
        return TPoint{cx + rx * std::cos(a), cy + ry * std::sin(a)};
    };
    TPoint from = onEllipse(start), to = onEllipse(end);
    Gdi.DrawLineTo(from.X, from.Y);
    Gdi.DrawArc(box, start, end, TWmfPlayer::ArcOnly);
    Gdi.State.CurX = to.X;
    Gdi.State.CurY = to.Y;
}

void TEmfPlayer::PathElement(TWmfPlayer::TPathData& path, cairo_path_data_type_t type,
                             std::initializer_list<TPoint> points)
{
    if (path.size() + 1 + points.size() > MaxPathElements)
        In.Damaged();
    cairo_path_data_t header;
    header.header.type = type;
    header.header.length = static_cast<int>(1 + points.size());
    path.push_back(header);
    for (TPoint p : points) {
        cairo_path_data_t point;
        point.point.x = p.X;
        point.point.y = p.Y;
        path.push_back(point);
    }
}

// Lines or cubic Béziers through `points` (in threes after the first), from the current
// position when `fromCurrent`, through the centres of the pixels as the drawing model's figures.
void TEmfPlayer::AddLines(TWmfPlayer::TPathData& path, const std::vector<TPoint>& points, bool fromCurrent, bool bezier,
                          bool close)
{
    auto pixel = [&](TPoint p) {
        TPoint d = Device(p);
        return TPoint{d.X + 0.5, d.Y + 0.5};
    };
    size_t first = 0;
    bool continuing = fromCurrent && &path == &Path && FigureOpen;
    if (fromCurrent && !continuing)
        PathElement(path, CAIRO_PATH_MOVE_TO, {pixel({Gdi.State.CurX, Gdi.State.CurY})});
    if (!fromCurrent && !points.empty())
        PathElement(path, CAIRO_PATH_MOVE_TO, {pixel(points[first++])});
    if (bezier)
        for (; first + 3 <= points.size(); first += 3)
            PathElement(path, CAIRO_PATH_CURVE_TO,
                        {pixel(points[first]), pixel(points[first + 1]), pixel(points[first + 2])});
    else
        for (; first < points.size(); ++first)
            PathElement(path, CAIRO_PATH_LINE_TO, {pixel(points[first])});
    if (close)
        PathElement(path, CAIRO_PATH_CLOSE_PATH, {});
    if (!points.empty()) {
        Gdi.State.CurX = points.back().X;
        Gdi.State.CurY = points.back().Y;
    }
    if (&path == &Path)
        FigureOpen = !close;
}

// A closed figure of a box record added to the path, as cairo lays it out in picture pixels.
void TEmfPlayer::AddShape(uint32_t type, const TRecord& r)
{
    TLogicalRect box = RectL(r, 8);
    double cx = (box.Left + box.Right) / 2, cy = (box.Top + box.Bottom) / 2;
    double rx = std::fabs(box.Right - box.Left) / 2, ry = std::fabs(box.Bottom - box.Top) / 2;
    cairo_matrix_t figures;
    cairo_get_matrix(Cr, &figures);
    cairo_set_matrix(Cr, &Mapping);
    cairo_new_path(Cr);
    if (type == EmrRectangle || type == EmrRoundRect || rx <= 0 || ry <= 0) {
        cairo_rectangle(Cr, box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top);
    } else {
        double a0 = 0, a1 = 2 * std::numbers::pi;
        if (type != EmrEllipse) {
            TPoint s = PointL(r, 24), e = PointL(r, 32);
            a0 = std::atan2((s.Y - cy) / ry, (s.X - cx) / rx);
            a1 = std::atan2((e.Y - cy) / ry, (e.X - cx) / rx);
            if (a1 >= a0)
                a1 -= 2 * std::numbers::pi;
        }
        cairo_save(Cr);
        cairo_translate(Cr, cx, cy);
        cairo_scale(Cr, rx, ry);
        if (type == EmrPie)
            cairo_move_to(Cr, 0, 0);
        cairo_arc_negative(Cr, 0, 0, 1, a0, type == EmrEllipse ? -a1 : a1);
        cairo_restore(Cr);
        if (type != EmrArc && type != EmrArcTo)
            cairo_close_path(Cr);
    }
    cairo_identity_matrix(Cr);
    cairo_path_t* shape = cairo_copy_path(Cr);
    cairo_new_path(Cr);
    cairo_set_matrix(Cr, &figures);
    if (Path.size() + static_cast<size_t>(std::max(shape->num_data, 0)) > MaxPathElements) {
        cairo_path_destroy(shape);
        In.Damaged();
    }
    if (shape->status == CAIRO_STATUS_SUCCESS)
        Path.insert(Path.end(), shape->data, shape->data + shape->num_data);
    cairo_path_destroy(shape);
    FigureOpen = false;
}

void TEmfPlayer::PathRecord(uint32_t type, const TRecord& r)
{
    switch (type) {
    case EmrBeginPath:
        InPath = true;
        FigureOpen = false;
        Path.clear();
        break;
    case EmrEndPath:
        InPath = false;
        break;
    case EmrCloseFigure:
        if (InPath && FigureOpen) {
            PathElement(Path, CAIRO_PATH_CLOSE_PATH, {});
            FigureOpen = false;
        }
        break;
    case EmrFillPath:
    case EmrStrokeAndFillPath:
    case EmrStrokePath:
        PaintPath(Path, type != EmrStrokePath, type != EmrFillPath);
        Path.clear();
        InPath = false;
        break;
    case EmrSelectClipPath:
        if (uint32_t mode = U32(r, 8); mode == RgnCopy || mode == RgnAnd) {
            if (mode == RgnCopy) {
                Gdi.State.Clip.reset();
                Gdi.State.ClipPaths.clear();
            }
            Gdi.State.ClipPaths.push_back(std::make_shared<const TWmfPlayer::TPathData>(std::move(Path)));
            Gdi.ApplyClip();
        }
        Path.clear();
        InPath = false;
        break;
    default:  // EMR_ABORTPATH
        Path.clear();
        InPath = false;
        break;
    }
}

// Fills the path (in picture pixels) with the brush, and outlines it with the pen, as asked.
void TEmfPlayer::PaintPath(const TWmfPlayer::TPathData& path, bool fill, bool stroke)
{
    cairo_matrix_t figures;
    cairo_get_matrix(Cr, &figures);
    cairo_identity_matrix(Cr);
    cairo_new_path(Cr);
    cairo_path_t view{CAIRO_STATUS_SUCCESS, const_cast<cairo_path_data_t*>(path.data()), static_cast<int>(path.size())};
    cairo_append_path(Cr, &view);
    TWmfPlayer::TPen pen = Gdi.State.Pen;
    if (!stroke)
        Gdi.State.Pen.Style = TWmfPlayer::PenNull;
    Gdi.FillAndStroke(fill);
    Gdi.State.Pen = pen;
    cairo_set_matrix(Cr, &figures);
}

// EMR_EXTSELECTCLIPRGN: the region's size, the operation, then RGNDATA: a header and its
// rectangles, in pixels of the reference device. No region with RGN_COPY clips no more.
void TEmfPlayer::SelectClipRegion(const TRecord& r)
{
    uint32_t bytes = U32(r, 8), mode = U32(r, 12);
    if (bytes < RegionHeaderBytes) {
        if (mode == RgnCopy) {
            Gdi.State.Clip.reset();
            Gdi.State.ClipPaths.clear();
            Gdi.ApplyClip();
        }
        return;
    }
    size_t count = U32(r, 24);
    if (count > (r.Size - 16 - RegionHeaderBytes) / 16)
        In.Damaged();
    std::vector<TWmfPlayer::TPixelRect> rects;
    auto pixel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e9, 1e9))); };
    for (size_t i = 0; i < count; ++i) {
        TLogicalRect d = RectL(r, 16 + RegionHeaderBytes + 16 * i);
        double l = d.Left, t = d.Top, rt = d.Right, b = d.Bottom;
        cairo_matrix_transform_point(&DeviceToPicture, &l, &t);
        cairo_matrix_transform_point(&DeviceToPicture, &rt, &b);
        TWmfPlayer::TPixelRect p{pixel(std::min(l, rt)), pixel(std::min(t, b)), pixel(std::max(l, rt)),
                                 pixel(std::max(t, b))};
        if (p.Left < p.Right && p.Top < p.Bottom)
            rects.push_back(p);
    }
    if (mode == RgnCopy)
        Gdi.State.ClipPaths.clear();
    Gdi.CombineClip(rects, static_cast<int>(mode));
}

// EMR_BITBLT, EMR_STRETCHBLT, EMR_STRETCHDIBITS, EMR_SETDIBITSTODEVICE: the destination and
// source boxes, the raster operation, and the bitmap as its header and its bits, each somewhere
// in the record.
void TEmfPlayer::DrawBitmapRecord(uint32_t type, const TRecord& r)
{
    using TBlit = TWmfPlayer::TBlit;
    auto dibAt = [&](size_t header) {
        return Bytes(r, U32(r, header), U32(r, header + 4)) + Bytes(r, U32(r, header + 8), U32(r, header + 12));
    };
    double xDest = I32(r, 24), yDest = I32(r, 28);
    if (type == EmrBitBlt || type == EmrStretchBlt) {
        uint32_t rop = U32(r, 40);
        double cx = I32(r, 32), cy = I32(r, 36);
        bool stretched = type == EmrStretchBlt;
        TBlit blit{rop,
                   double(I32(r, 44)),
                   double(I32(r, 48)),
                   stretched ? I32(r, 100) : cx,
                   stretched ? I32(r, 104) : cy,
                   xDest,
                   yDest,
                   cx,
                   cy,
                   0};
        if (U32(r, 88) == 0 || !TWmfPlayer::CombinesBitmap(rop))
            Gdi.FillBlit(blit, rop);  // no bitmap: a fill with the brush, black or white
        else if (U32(r, 80) == TWmfPlayer::DibRgbColours)
            Gdi.DrawDib(dibAt(84), blit);
        return;
    }
    double xSrc = I32(r, 32), ySrc = I32(r, 36), cxSrc = I32(r, 40), cySrc = I32(r, 44);
    if (U32(r, 64) != TWmfPlayer::DibRgbColours)
        return;  // palette-relative colours mean nothing without the palette of a device
    if (type == EmrStretchDiBits) {
        uint32_t rop = U32(r, 68);
        TBlit blit{rop, xSrc, ySrc, cxSrc, cySrc, xDest, yDest, double(I32(r, 72)), double(I32(r, 76)), 0};
        if (!TWmfPlayer::CombinesBitmap(rop))
            Gdi.FillBlit(blit, rop);
        else
            Gdi.DrawDib(dibAt(48), blit);
        return;
    }
    // Copied one to one onto the device, unscaled, from the band of scan lines the record holds.
    TBlit blit{TWmfPlayer::RopSrcCopy, xSrc, ySrc - U32(r, 68), cxSrc, cySrc, xDest, yDest, cxSrc / Gdi.ScaleX(),
               cySrc / Gdi.ScaleY(),   0};
    Gdi.DrawDibBand(dibAt(48), U32(r, 72), blit);
}

// EMR_GRADIENTFILL: bounds, the counts of vertices and of rectangles or triangles, the mode, the
// vertices (a point and a 16-bit colour), then each shape's vertex numbers. Rectangles shade from
// their upper-left vertex's colour to their lower-right's, across or down; triangles between
// their corners'.
void TEmfPlayer::GradientFill(const TRecord& r)
{
    size_t vertices = U32(r, 24), shapes = U32(r, 28);
    uint32_t mode = U32(r, 32);
    size_t each = mode == GradientTriangle ? 12 : 8, at = 36 + VertexBytes * std::min(vertices, r.Size);
    if (vertices > (r.Size - 36) / VertexBytes || shapes > (r.Size - at) / each)
        In.Damaged();
    struct TVertex {
        TPoint Pixel;
        double Red, Green, Blue;
    };
    std::vector<TVertex> v;
    for (size_t i = 0; i < vertices; ++i) {
        size_t p = 36 + VertexBytes * i;
        uint32_t rg = U32(r, p + 8), b = U32(r, p + 12);
        v.push_back({Device(PointL(r, p)), (rg & 0xFFFF) / 65280.0, (rg >> 16) / 65280.0, (b & 0xFFFF) / 65280.0});
    }
    cairo_matrix_t figures;
    cairo_get_matrix(Cr, &figures);
    cairo_identity_matrix(Cr);
    for (size_t s = 0; s < shapes; ++s) {
        size_t a = U32(r, at + each * s), b = U32(r, at + each * s + 4);
        size_t c = mode == GradientTriangle ? U32(r, at + each * s + 8) : 0;
        if (a >= v.size() || b >= v.size() || c >= v.size())
            continue;
        cairo_pattern_t* pattern;
        cairo_new_path(Cr);
        if (mode == GradientTriangle) {
            pattern = cairo_pattern_create_mesh();
            cairo_mesh_pattern_begin_patch(pattern);
            for (size_t corner : {a, b, c})
                cairo_mesh_pattern_line_to(pattern, v[corner].Pixel.X, v[corner].Pixel.Y);
            for (unsigned k = 0; k < 3; ++k) {
                const TVertex& corner = v[k == 0 ? a : k == 1 ? b : c];
                cairo_mesh_pattern_set_corner_color_rgb(pattern, k, corner.Red, corner.Green, corner.Blue);
            }
            cairo_mesh_pattern_end_patch(pattern);
            cairo_move_to(Cr, v[a].Pixel.X, v[a].Pixel.Y);
            cairo_line_to(Cr, v[b].Pixel.X, v[b].Pixel.Y);
            cairo_line_to(Cr, v[c].Pixel.X, v[c].Pixel.Y);
            cairo_close_path(Cr);
        } else {
            TPoint p = v[a].Pixel, q = v[b].Pixel;
            pattern =
                mode == 0 ? cairo_pattern_create_linear(p.X, 0, q.X, 0) : cairo_pattern_create_linear(0, p.Y, 0, q.Y);
            cairo_pattern_add_color_stop_rgb(pattern, 0, v[a].Red, v[a].Green, v[a].Blue);
            cairo_pattern_add_color_stop_rgb(pattern, 1, v[b].Red, v[b].Green, v[b].Blue);
            cairo_rectangle(Cr, std::min(p.X, q.X), std::min(p.Y, q.Y), std::fabs(q.X - p.X), std::fabs(q.Y - p.Y));
        }
        cairo_set_source(Cr, pattern);
        cairo_fill(Cr);
        cairo_pattern_destroy(pattern);
    }
    cairo_set_matrix(Cr, &figures);
}
