#include "WmfPlayer.h"

#include "CairoCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Record functions (the low byte names the record; the high byte is its classic parameter count).
enum : uint16_t {
    MetaEof = 0x0000,
    MetaSaveDc = 0x001E,
    MetaSelectClipRegion = 0x012C,
    MetaSetBkMode = 0x0102,
    MetaSetPolyFillMode = 0x0106,
    MetaRestoreDc = 0x0127,
    MetaSelectObject = 0x012D,
    MetaSetTextAlign = 0x012E,
    MetaDeleteObject = 0x01F0,
    MetaSetBkColor = 0x0201,
    MetaSetTextColor = 0x0209,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaOffsetClipRgn = 0x0220,
    MetaExcludeClipRect = 0x0415,
    MetaIntersectClipRect = 0x0416,
    MetaPatBlt = 0x061D,
    MetaSetDibToDev = 0x0D33,
    MetaCreateRegion = 0x06FF,
    MetaLineTo = 0x0213,
    MetaMoveTo = 0x0214,
    MetaCreatePenIndirect = 0x02FA,
    MetaCreateFontIndirect = 0x02FB,
    MetaCreateBrushIndirect = 0x02FC,
    MetaPolygon = 0x0324,
    MetaPolyline = 0x0325,
    MetaEllipse = 0x0418,
    MetaRectangle = 0x041B,
    MetaSetPixel = 0x041F,
    MetaTextOut = 0x0521,
    MetaPolyPolygon = 0x0538,
    MetaRoundRect = 0x061C,
    MetaArc = 0x0817,
    MetaPie = 0x081A,
    MetaChord = 0x0830,
    MetaExtTextOut = 0x0A32,
    MetaDibBitBlt = 0x0940,
    MetaDibStretchBlt = 0x0B41,
    MetaStretchDib = 0x0F43,
    // Records that create an object we do not draw with; each still takes a slot of the table.
    MetaCreatePalette = 0x00F7,
    MetaDibCreatePatternBrush = 0x0142,
    MetaCreatePatternBrush = 0x01F9,
};

// The most device contexts a metafile may have saved at once. Writers save a few around each
// group they draw; a file of nothing but saves would otherwise take gigabytes.
constexpr size_t MaxSavedStates = 256;

}  // namespace

TWmfPlayer::TWmfPlayer(cairo_t* cr, const TLittleEndian& file, int objectCount, TWindow window, int width, int height,
                       PictureArea::TPart drawn)
    : Cr(cr), In(file), Width(width), Height(height),
      Drawn(drawn), Viewport{0, 0, double(width), double(height)}, Reached{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL},
      Objects(static_cast<size_t>(objectCount))
{
    State.Window = window;
    cairo_set_antialias(Cr, CAIRO_ANTIALIAS_NONE);  // GDI draws its shapes unsmoothed
}

void TWmfPlayer::Play(size_t offset)
{
    while (In.Has(offset, 6)) {
        uint32_t words = In.U32(offset);
        uint16_t function = In.U16(offset + 4);
        if (words < 3 || !In.Has(offset, size_t{words} * 2))
            In.Damaged();
        if (function == MetaEof)
            return;
        Dispatch(function, TRecord{offset + 6, size_t{words} - 3});
        offset += size_t{words} * 2;
    }
}

int16_t TWmfPlayer::Param(const TRecord& r, size_t index) const
{
    if (index >= r.Words)
        In.Damaged();
    return In.I16(r.Params + index * 2);
}

// A COLORREF: red, green, blue, flags in byte order.
TColor TWmfPlayer::ColourParam(const TRecord& r, size_t index) const
{
    Param(r, index + 1);
    size_t at = r.Params + index * 2;
    return (TColor{In.U8(at)} << 16) | (TColor{In.U8(at + 1)} << 8) | In.U8(at + 2);
}

void TWmfPlayer::Dispatch(uint16_t function, const TRecord& r)
{
    switch (function) {
    case MetaSaveDc:
        SaveDc();
        break;
    case MetaRestoreDc:
        RestoreDc(Param(r, 0));
        break;
    case MetaIntersectClipRect:
        IntersectClip(PixelRect(Param(r, 3), Param(r, 2), Param(r, 1), Param(r, 0)));
        break;
    case MetaExcludeClipRect:
        ExcludeClip(PixelRect(Param(r, 3), Param(r, 2), Param(r, 1), Param(r, 0)));
        break;
    case MetaSelectClipRegion:
        SelectClipRegion(static_cast<uint16_t>(Param(r, 0)));
        break;
    case MetaOffsetClipRgn:
        OffsetClip(Param(r, 1), Param(r, 0));
        break;
    case MetaSetBkMode:
        State.OpaqueBackground = Param(r, 0) == 2;
        break;
    case MetaSetPolyFillMode:
        State.Winding = Param(r, 0) == 2;
        break;
    case MetaSetTextAlign:
        State.TextAlign = Param(r, 0);
        break;
    case MetaSetBkColor:
        State.BkColour = ColourParam(r, 0);
        break;
    case MetaSetTextColor:
        State.TextColour = ColourParam(r, 0);
        break;
    case MetaSetWindowOrg:
        State.Window.OrgY = Param(r, 0);
        State.Window.OrgX = Param(r, 1);
        break;
    case MetaSetWindowExt:
        if (Param(r, 0) != 0 && Param(r, 1) != 0) {
            State.Window.ExtY = Param(r, 0);
            State.Window.ExtX = Param(r, 1);
        }
        break;
    case MetaMoveTo:
        State.CurY = Param(r, 0);
        State.CurX = Param(r, 1);
        break;
    case MetaLineTo:
        DrawLineTo(Param(r, 1), Param(r, 0));
        break;
    case MetaSelectObject:
        SelectObject(static_cast<uint16_t>(Param(r, 0)));
        break;
    case MetaDeleteObject:
        if (size_t i = static_cast<uint16_t>(Param(r, 0)); i < Objects.size())
            Objects[i].reset();
        break;
    case MetaCreatePenIndirect:
        CreateObject(TPen{Param(r, 0) & 0x0F, Param(r, 1), ColourParam(r, 3)});
        break;
    case MetaCreateBrushIndirect:
        // The hatch word is left out by some writers of solid brushes.
        CreateObject(TBrush{Param(r, 0), ColourParam(r, 1), r.Words > 3 ? Param(r, 3) : 0});
        break;
    case MetaCreateRegion:
        CreateObject(ReadRegion(r));
        break;
    case MetaCreateFontIndirect:
        CreateObject(ReadFont(r));
        break;
    case MetaCreatePalette:
    case MetaDibCreatePatternBrush:
    case MetaCreatePatternBrush:
        CreateObject(TOther{});
        break;
    case MetaRectangle:
        DrawRectangle(Param(r, 3), Param(r, 2), Param(r, 1), Param(r, 0));
        break;
    case MetaRoundRect:
        DrawRoundRect(Param(r, 5), Param(r, 4), Param(r, 3), Param(r, 2), Param(r, 1), Param(r, 0));
        break;
    case MetaEllipse:
        DrawEllipse(Param(r, 3), Param(r, 2), Param(r, 1), Param(r, 0));
        break;
    case MetaArc:
    case MetaPie:
    case MetaChord:
        DrawArc({double(Param(r, 7)), double(Param(r, 6)), double(Param(r, 5)), double(Param(r, 4))},
                {double(Param(r, 3)), double(Param(r, 2))}, {double(Param(r, 1)), double(Param(r, 0))},
                function == MetaArc   ? ArcOnly
                : function == MetaPie ? ArcPie
                                      : ArcChord);
        break;
    case MetaPolygon:
        DrawPoly(ReadPoly(r), true);
        break;
    case MetaPolyline:
        DrawPoly(ReadPoly(r), false);
        break;
    case MetaPolyPolygon:
        DrawPolyPolygon(ReadPolyPolygon(r));
        break;
    case MetaSetPixel:
        DrawPixel(Param(r, 3), Param(r, 2), ColourParam(r, 0));
        break;
    case MetaTextOut:
        TextOut(r);
        break;
    case MetaExtTextOut:
        ExtTextOut(r);
        break;
    case MetaStretchDib:
        StretchDib(r);
        break;
    case MetaDibStretchBlt:
        DibStretchBlt(r);
        break;
    case MetaDibBitBlt:
        DibBitBlt(r);
        break;
    case MetaSetDibToDev:
        SetDibToDevice(r);
        break;
    case MetaPatBlt:
        PatBlt(r);
        break;
    default:
        break;  // not drawn: see the class comment
    }
}

// The lowest free slot, as GDI fills its metafile handle table. A full table drops the object.
void TWmfPlayer::CreateObject(TObject object)
{
    for (auto& slot : Objects)
        if (!slot) {
            slot = std::move(object);
            return;
        }
}

void TWmfPlayer::SelectObject(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= Objects.size() || !Objects[static_cast<size_t>(index)])
        return;
    const TObject& object = *Objects[static_cast<size_t>(index)];
    if (auto* pen = std::get_if<TPen>(&object))
        State.Pen = *pen;
    else if (auto* brush = std::get_if<TBrush>(&object))
        State.Brush = *brush;
    else if (auto* font = std::get_if<TFont>(&object))
        State.Font = *font;
    else if (std::holds_alternative<TRegion>(object))
        SelectClipRegion(index);  // selecting a region into a device context clips to it
}

// A negative argument counts back from the latest save; a positive one names a save level.
void TWmfPlayer::SaveDc()
{
    if (Saved.size() >= MaxSavedStates)
        In.Damaged();
    CountClipWork(State.Clip ? State.Clip->size() : 0);
    for (const auto& path : State.ClipPaths)
        CountClipWork(ClipPathWork(*path));
    Saved.push_back(State);
}

void TWmfPlayer::RestoreDc(int which)
{
    size_t keep =
        which < 0 ? (Saved.size() >= size_t(-which) ? Saved.size() - size_t(-which) : Saved.size()) : size_t(which - 1);
    if (which == 0 || keep >= Saved.size())
        return;
    State = Saved[keep];
    Saved.resize(keep);
    ApplyClip();  // the clipping region is part of what was saved
}

double TWmfPlayer::ScaleX() const { return Viewport.Width / State.Window.ExtX; }
double TWmfPlayer::ScaleY() const { return Viewport.Height / State.Window.ExtY; }
double TWmfPlayer::X(double x) const
{
    double at = Viewport.Left + (x - State.Window.OrgX) * ScaleX();
    Reached.Left = std::min(Reached.Left, at);
    Reached.Right = std::max(Reached.Right, at);
    return at;
}

double TWmfPlayer::Y(double y) const
{
    double at = Viewport.Top + (y - State.Window.OrgY) * ScaleY();
    Reached.Top = std::min(Reached.Top, at);
    Reached.Bottom = std::max(Reached.Bottom, at);
    return at;
}

// GDI's rectangles leave out their right and bottom edge; `inset` moves the path to the centre
// of the outermost pixels for an outline.
void TWmfPlayer::RectanglePath(double l, double t, double r, double b, double inset)
{
    double x0 = std::round(std::min(X(l), X(r))), x1 = std::round(std::max(X(l), X(r)));
    double y0 = std::round(std::min(Y(t), Y(b))), y1 = std::round(std::max(Y(t), Y(b)));
    if (x1 - x0 < 2 * inset || y1 - y0 < 2 * inset)
        return;  // an outline path of negative size would draw outside the rectangle
    cairo_rectangle(Cr, x0 + inset, y0 + inset, x1 - x0 - 2 * inset, y1 - y0 - 2 * inset);
}

void TWmfPlayer::EllipsePath(double l, double t, double r, double b, double inset)
{
    double x0 = std::min(X(l), X(r)), x1 = std::max(X(l), X(r));
    double y0 = std::min(Y(t), Y(b)), y1 = std::max(Y(t), Y(b));
    double rx = (x1 - x0) / 2 - inset, ry = (y1 - y0) / 2 - inset;
    if (rx <= 0 || ry <= 0)
        return;
    cairo_save(Cr);
    cairo_translate(Cr, (x0 + x1) / 2, (y0 + y1) / 2);
    cairo_scale(Cr, rx, ry);
    cairo_new_sub_path(Cr);
    cairo_arc(Cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(Cr);
}

bool TWmfPlayer::SetPenSource()
{
    if (State.Pen.Style == PenNull)
        return false;
    SetSourceColour(Cr, State.Pen.Colour);
    cairo_set_line_width(Cr, std::max(1.0, std::round(State.Pen.Width * std::fabs(ScaleX()))));
    return true;
}

// Fills the current path with the brush (when `fill`), then outlines it with the pen.
void TWmfPlayer::FillAndStroke(bool fill)
{
    if (fill && SetBrushSource()) {
        cairo_set_fill_rule(Cr, State.Winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(Cr);
    }
    if (DashedPen())
        StrokeDashed();
    else if (SetPenSource())
        cairo_stroke(Cr);
    cairo_new_path(Cr);
}

void TWmfPlayer::DrawRectangle(double l, double t, double rt, double b)
{
    if (State.Brush.Style != BrushNull) {
        RectanglePath(l, t, rt, b, 0);
        if (State.Pen.Style == PenNull) {
            // Without an outline GDI's rectangle is a pixel narrower and shorter.
            double x0, y0, x1, y1;
            cairo_path_extents(Cr, &x0, &y0, &x1, &y1);
            cairo_new_path(Cr);
            cairo_rectangle(Cr, x0, y0, std::max(0.0, x1 - x0 - 1), std::max(0.0, y1 - y0 - 1));
        }
        SetBrushSource();
        cairo_fill(Cr);
    }
    RectanglePath(l, t, rt, b, 0.5);
    FillAndStroke(false);
}

void TWmfPlayer::DrawRoundRect(double left, double top, double right, double bottom, double width, double height)
{
    double h = std::fabs(height * ScaleY()) / 2, w = std::fabs(width * ScaleX()) / 2;
    double b = Y(bottom), rt = X(right), t = Y(top), l = X(left);
    double x0 = std::min(l, rt) + 0.5, x1 = std::max(l, rt) - 0.5, y0 = std::min(t, b) + 0.5, y1 = std::max(t, b) - 0.5;
    w = std::min(w, (x1 - x0) / 2);
    h = std::min(h, (y1 - y0) / 2);
    if (w <= 0 || h <= 0) {
        DrawRectangle(left, top, right, bottom);
        return;
    }
    const double quarter = std::numbers::pi / 2;
    double corners[4][3] = {
        {x1 - w, y0 + h, -quarter}, {x1 - w, y1 - h, 0}, {x0 + w, y1 - h, quarter}, {x0 + w, y0 + h, 2 * quarter}};
    cairo_new_sub_path(Cr);
    for (auto& c : corners) {
        cairo_save(Cr);
        cairo_translate(Cr, c[0], c[1]);
        cairo_scale(Cr, w, h);
        cairo_arc(Cr, 0, 0, 1, c[2], c[2] + quarter);
        cairo_restore(Cr);
    }
    cairo_close_path(Cr);
    FillAndStroke(true);
}

void TWmfPlayer::DrawEllipse(double l, double t, double rt, double b)
{
    if (State.Brush.Style != BrushNull) {
        EllipsePath(l, t, rt, b, 0);
        SetBrushSource();
        cairo_fill(Cr);
    }
    EllipsePath(l, t, rt, b, 0.5);
    FillAndStroke(false);
}

// Arcs run counter-clockwise on screen from the start ray to the end ray.
void TWmfPlayer::DrawArc(const TLogicalRect& box, TPoint start, TPoint end, int kind)
{
    double ye = Y(end.Y), xe = X(end.X), ys = Y(start.Y), xs = X(start.X);
    double b = Y(box.Bottom), rt = X(box.Right), t = Y(box.Top), l = X(box.Left);
    double cx = (l + rt) / 2, cy = (t + b) / 2, rx = std::fabs(rt - l) / 2 - 0.5, ry = std::fabs(b - t) / 2 - 0.5;
    if (rx <= 0 || ry <= 0)
        return;
    double a0 = std::atan2((ys - cy) / ry, (xs - cx) / rx), a1 = std::atan2((ye - cy) / ry, (xe - cx) / rx);
    cairo_new_path(Cr);
    if (kind == ArcPie)
        cairo_move_to(Cr, cx, cy);
    cairo_save(Cr);
    cairo_translate(Cr, cx, cy);
    cairo_scale(Cr, rx, ry);
    cairo_arc_negative(Cr, 0, 0, 1, a0, a1 >= a0 ? a1 - 2 * std::numbers::pi : a1);
    cairo_restore(Cr);
    if (kind != ArcOnly)
        cairo_close_path(Cr);
    FillAndStroke(kind != ArcOnly);
}

// META_POLYGON, META_POLYLINE: the count, then x and y of each point.
std::vector<TWmfPlayer::TPoint> TWmfPlayer::ReadPoly(const TRecord& r)
{
    size_t count = static_cast<uint16_t>(Param(r, 0));
    Param(r, count * 2);  // all points present
    std::vector<TPoint> points;
    for (size_t i = 0; i < count; ++i)
        points.push_back({double(Param(r, 1 + 2 * i)), double(Param(r, 2 + 2 * i))});
    return points;
}

// META_POLYPOLYGON: the count of polygons, each one's count of points, then all their points.
std::vector<std::vector<TWmfPlayer::TPoint>> TWmfPlayer::ReadPolyPolygon(const TRecord& r)
{
    size_t polygons = static_cast<uint16_t>(Param(r, 0));
    size_t point = 1 + polygons;  // first point's parameter index
    std::vector<std::vector<TPoint>> all;
    for (size_t p = 0; p < polygons; ++p) {
        size_t count = static_cast<uint16_t>(Param(r, 1 + p));
        if (count > 0)
            Param(r, point + count * 2 - 1);  // all its points present
        all.emplace_back();
        for (size_t i = 0; i < count; ++i, point += 2)
            all.back().push_back({double(Param(r, point)), double(Param(r, point + 1))});
    }
    return all;
}

void TWmfPlayer::DrawPoly(const std::vector<TPoint>& points, bool closed)
{
    cairo_new_path(Cr);
    for (const TPoint& p : points)
        cairo_line_to(Cr, X(p.X) + 0.5, Y(p.Y) + 0.5);
    if (closed)
        cairo_close_path(Cr);
    FillAndStroke(closed);
}

void TWmfPlayer::DrawPolyPolygon(const std::vector<std::vector<TPoint>>& polygons)
{
    cairo_new_path(Cr);
    for (const std::vector<TPoint>& polygon : polygons) {
        cairo_new_sub_path(Cr);
        for (const TPoint& p : polygon)
            cairo_line_to(Cr, X(p.X) + 0.5, Y(p.Y) + 0.5);
        cairo_close_path(Cr);
    }
    FillAndStroke(true);
}

void TWmfPlayer::DrawPixel(double x, double y, TColor colour)
{
    SetSourceColour(Cr, colour);
    cairo_rectangle(Cr, std::floor(X(x)), std::floor(Y(y)), 1, 1);
    cairo_fill(Cr);
}

void TWmfPlayer::DrawLineTo(double x, double y)
{
    cairo_new_path(Cr);
    cairo_move_to(Cr, X(State.CurX) + 0.5, Y(State.CurY) + 0.5);
    cairo_line_to(Cr, X(x) + 0.5, Y(y) + 0.5);
    FillAndStroke(false);
    State.CurX = x;
    State.CurY = y;
}
