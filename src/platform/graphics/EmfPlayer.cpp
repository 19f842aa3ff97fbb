// The record walk, objects, device context and mapping of the enhanced-metafile reader.
#include "EmfPlayer.h"

#include "EmfRecords.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The stock objects a record selects as 0x80000000 + number.
constexpr uint32_t StockFlag = 0x80000000;
enum : uint32_t {
    StockWhiteBrush = 0,
    StockLightGrayBrush = 1,
    StockGrayBrush = 2,
    StockDarkGrayBrush = 3,
    StockBlackBrush = 4,
    StockNullBrush = 5,
    StockWhitePen = 6,
    StockBlackPen = 7,
    StockNullPen = 8,
    StockFirstFont = 10,
    StockLastFont = 17,
};

// MODIFYWORLDTRANSFORM's modes.
constexpr uint32_t MwtIdentity = 1, MwtLeftMultiply = 2, MwtRightMultiply = 3, MwtSet = 4;
constexpr uint32_t PenGeometric = 0x00010000;

enum : int {
    MmText = 1,
    MmLoMetric,
    MmHiMetric,
    MmLoEnglish,
    MmHiEnglish,
    MmTwips,
    MmIsotropic,
    MmAnisotropic,
};

// Millimetres a logical unit takes in each fixed mapping mode, from MM_LOMETRIC on.
constexpr double MillimetresPerUnit[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};

bool Finite(const cairo_matrix_t& m)
{
    double det = m.xx * m.yy - m.xy * m.yx;
    return std::isfinite(det) && det != 0 && std::isfinite(m.x0) && std::isfinite(m.y0) && std::isfinite(m.xx) &&
           std::isfinite(m.yy) && std::isfinite(m.xy) && std::isfinite(m.yx);
}

}  // namespace

TEmfPlayer::TEmfPlayer(cairo_t* cr, const TLittleEndian& file, int handles, TFrame frame, int width, int height,
                       PictureArea::TPart drawn)
    : In(file), Cr(cr), Gdi(cr, file, handles, {0, 0, double(width), double(height)}, width, height, drawn),
      Width(width), Height(height), PixelsPerMmX(frame.PixelsPerMmX), PixelsPerMmY(frame.PixelsPerMmY)
{
    cairo_matrix_init(&DeviceToPicture, width / frame.Width, 0, 0, height / frame.Height,
                      -frame.Left * width / frame.Width, -frame.Top * height / frame.Height);
    SetPage(Page);
}

void TEmfPlayer::Play(size_t offset)
{
    for (;;) {
        uint32_t type = In.U32(offset);
        uint32_t size = In.U32(offset + 4);
        if (size < 8 || size % 4 != 0 || !In.Has(offset, size))
            In.Damaged();
        if (type == EmrEof)
            return;
        Dispatch(type, TRecord{offset, size});
        offset += size;
    }
}

uint32_t TEmfPlayer::U32(const TRecord& r, size_t at) const
{
    if (at + 4 > r.Size)
        In.Damaged();
    return In.U32(r.At + at);
}

int32_t TEmfPlayer::I32(const TRecord& r, size_t at) const { return static_cast<int32_t>(U32(r, at)); }

// A COLORREF: red, green, blue, flags in byte order.
TColor TEmfPlayer::Colour(const TRecord& r, size_t at) const
{
    uint32_t v = U32(r, at);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

TEmfPlayer::TPoint TEmfPlayer::PointL(const TRecord& r, size_t at) const
{
    return {double(I32(r, at)), double(I32(r, at + 4))};
}

TEmfPlayer::TLogicalRect TEmfPlayer::RectL(const TRecord& r, size_t at) const
{
    return {double(I32(r, at)), double(I32(r, at + 4)), double(I32(r, at + 8)), double(I32(r, at + 12))};
}

std::string TEmfPlayer::Bytes(const TRecord& r, size_t offset, size_t length) const
{
    if (offset > r.Size || length > r.Size - offset)
        In.Damaged();
    return In.Slice(r.At + offset, length);
}

// `count` points from `at`: pairs of 32-bit or (`small`) 16-bit coordinates, all in the record.
std::vector<TEmfPlayer::TPoint> TEmfPlayer::Points(const TRecord& r, size_t at, size_t count, bool small) const
{
    size_t each = small ? 4 : 8;
    if (at > r.Size || count > (r.Size - at) / each)
        In.Damaged();
    std::vector<TPoint> points;
    points.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        size_t p = r.At + at + i * each;
        if (small)
            points.push_back({double(In.I16(p)), double(In.I16(p + 2))});
        else
            points.push_back({double(In.I32(p)), double(In.I32(p + 4))});
    }
    return points;
}

void TEmfPlayer::Dispatch(uint32_t type, const TRecord& r)
{
    if (!DispatchState(type, r))
        DispatchFigure(type, r);  // what neither knows is not drawn, as in a Windows metafile
}

bool TEmfPlayer::DispatchState(uint32_t type, const TRecord& r)
{
    TWmfPlayer::TState& state = Gdi.State;
    TPage page = Page;
    switch (type) {
    case EmrSaveDc:
        SaveDc();
        break;
    case EmrRestoreDc:
        RestoreDc(I32(r, 8));
        break;
    case EmrSetMapMode:
        page.MapMode = I32(r, 8);
        SetPage(page);
        break;
    case EmrSetWindowExtEx:
    case EmrSetViewportExtEx:
        if (I32(r, 8) != 0 && I32(r, 12) != 0) {
            (type == EmrSetWindowExtEx ? page.WindowExt : page.ViewportExt) = PointL(r, 8);
            SetPage(page);
        }
        break;
    case EmrSetWindowOrgEx:
        page.WindowOrg = PointL(r, 8);
        SetPage(page);
        break;
    case EmrSetViewportOrgEx:
        page.ViewportOrg = PointL(r, 8);
        SetPage(page);
        break;
    case EmrScaleWindowExtEx:
    case EmrScaleViewportExtEx: {
        TPoint& ext = type == EmrScaleWindowExtEx ? page.WindowExt : page.ViewportExt;
        if (I32(r, 12) != 0 && I32(r, 20) != 0 && I32(r, 8) != 0 && I32(r, 16) != 0) {
            ext = {ext.X * I32(r, 8) / I32(r, 12), ext.Y * I32(r, 16) / I32(r, 20)};
            SetPage(page);
        }
        break;
    }
    case EmrSetWorldTransform:
    case EmrModifyWorldTransform:
        SetWorldTransform(r, type == EmrModifyWorldTransform);
        break;
    case EmrSetBkMode:
        state.OpaqueBackground = U32(r, 8) == 2;
        break;
    case EmrSetPolyFillMode:
        state.Winding = U32(r, 8) == 2;
        break;
    case EmrSetTextAlign:
        state.TextAlign = static_cast<int>(U32(r, 8) & 0xFFFF);
        break;
    case EmrSetBkColor:
        state.BkColour = Colour(r, 8);
        break;
    case EmrSetTextColor:
        state.TextColour = Colour(r, 8);
        break;
    case EmrMoveToEx:
        state.CurX = I32(r, 8);
        state.CurY = I32(r, 12);
        FigureOpen = false;
        break;
    case EmrCreatePen:
        CreatePen(r);
        break;
    case EmrExtCreatePen:
        CreateExtPen(r);
        break;
    case EmrCreateBrushIndirect:
        CreateObject(U32(r, 8), TWmfPlayer::TBrush{I32(r, 12), Colour(r, 16), I32(r, 20)});
        break;
    case EmrCreateDibPatternBrushPt:
    case EmrCreateMonoBrush:
    case EmrCreatePalette:
        CreateObject(U32(r, 8), TWmfPlayer::TOther{});
        break;
    case EmrExtCreateFontIndirectW:
        CreateFont(r);
        break;
    case EmrSelectObject:
        SelectObject(U32(r, 8));
        break;
    case EmrDeleteObject:
        if (uint32_t i = U32(r, 8); i < Gdi.Objects.size())
            Gdi.Objects[i].reset();
        break;
    default:
        return false;
    }
    return true;
}

// Enhanced metafiles name the slot of each object they create.
void TEmfPlayer::CreateObject(uint32_t index, TWmfPlayer::TObject object)
{
    if (index < Gdi.Objects.size())
        Gdi.Objects[index] = std::move(object);
}

// EMR_CREATEPEN: the slot, then LOGPEN: style, width as a point (its x), colour.
void TEmfPlayer::CreatePen(const TRecord& r)
{
    CreateObject(U32(r, 8), TWmfPlayer::TPen{I32(r, 12) & 0x0F, I32(r, 16), Colour(r, 24)});
}

// EMR_EXTCREATEPEN: the slot, a pattern bitmap's place (4 words), then LOGPENEX: style, width,
// brush style, colour. A cosmetic pen is one pixel wide; one with a null brush draws nothing.
void TEmfPlayer::CreateExtPen(const TRecord& r)
{
    uint32_t style = U32(r, 28);
    int width = (style & PenGeometric) ? I32(r, 32) : 0;
    int kind = static_cast<int>(style & 0x0F);
    if (U32(r, 36) == TWmfPlayer::BrushNull)
        kind = TWmfPlayer::PenNull;
    else if (kind > TWmfPlayer::PenNull)
        kind = 0;  // inside-frame, user-styled and alternate pens are drawn solid
    CreateObject(U32(r, 8), TWmfPlayer::TPen{kind, width, Colour(r, 40)});
}

// EMR_EXTCREATEFONTINDIRECTW: the slot, then LOGFONTW: height, width, escapement, orientation,
// weight, italic, underline, strike-out and charset bytes, four more bytes, and 32 UTF-16 units
// of face name.
void TEmfPlayer::CreateFont(const TRecord& r)
{
    std::u16string face;
    for (size_t i = 0; i < 32 && 40 + 2 * i + 2 <= r.Size; ++i) {
        char16_t c = In.U16(r.At + 40 + 2 * i);
        if (c == 0)
            break;
        face += c;
    }
    uint32_t flags = U32(r, 32), pitch = U32(r, 36);
    // The escapement is an angle: whole turns of it change nothing, and leaving them out keeps
    // it far from the ends of an int.
    int escapement = I32(r, 20) % 3600;
    CreateObject(U32(r, 8),
                 TWmfPlayer::TFont{I32(r, 12), I32(r, 28), (flags & 0xFF) != 0, escapement, (pitch >> 24 & 0x03) == 1,
                                   MetafileFonts::Utf8FromUtf16(face), static_cast<int>(flags >> 24)});
}

void TEmfPlayer::SelectObject(uint32_t index)
{
    if (index & StockFlag)
        SelectStockObject(index & ~StockFlag);
    else if (index < Gdi.Objects.size())
        Gdi.SelectObject(static_cast<int>(index));
}

void TEmfPlayer::SelectStockObject(uint32_t stock)
{
    TWmfPlayer::TState& state = Gdi.State;
    constexpr TColor brushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    if (stock <= StockBlackBrush)
        state.Brush = {0, brushes[stock], 0};
    else if (stock == StockNullBrush)
        state.Brush = {TWmfPlayer::BrushNull, 0, 0};
    else if (stock == StockWhitePen || stock == StockBlackPen)
        state.Pen = {0, 0, stock == StockWhitePen ? 0xFFFFFFu : 0x000000u};
    else if (stock == StockNullPen)
        state.Pen = {TWmfPlayer::PenNull, 0, 0};
    else if (stock >= StockFirstFont && stock <= StockLastFont)
        state.Font = {};
}

void TEmfPlayer::SaveDc()
{
    Gdi.SaveDc();
    SavedPages.push_back(Page);
}

// The mapping is restored with the rest of the context it was saved with.
void TEmfPlayer::RestoreDc(int32_t which)
{
    size_t before = Gdi.Saved.size();
    // Past the most contexts ever saved any count means the same; this keeps it negatable.
    Gdi.RestoreDc(std::clamp(which, -1 << 16, 1 << 16));
    size_t kept = Gdi.Saved.size();
    if (kept < before) {
        TPage page = SavedPages[kept];
        SavedPages.resize(kept);
        SetPage(page);
    }
}

// EMR_SETWORLDTRANSFORM, EMR_MODIFYWORLDTRANSFORM: an XFORM (m11, m12, m21, m22, dx, dy as
// 32-bit floats), and for the latter how it combines with the present one.
void TEmfPlayer::SetWorldTransform(const TRecord& r, bool modify)
{
    float f[6];
    for (size_t i = 0; i < 6; ++i) {
        uint32_t bits = U32(r, 8 + 4 * i);
        std::memcpy(&f[i], &bits, sizeof bits);
    }
    cairo_matrix_t given{f[0], f[1], f[2], f[3], f[4], f[5]};
    uint32_t mode = modify ? U32(r, 32) : MwtSet;
    TPage page = Page;
    if (mode == MwtIdentity)
        cairo_matrix_init_identity(&page.World);
    else if (mode == MwtLeftMultiply)
        cairo_matrix_multiply(&page.World, &given, &Page.World);  // the given one first
    else if (mode == MwtRightMultiply)
        cairo_matrix_multiply(&page.World, &Page.World, &given);
    else if (mode == MwtSet)
        page.World = given;
    SetPage(page);
}

// Logical units to picture pixels: the world transformation, the page's window onto its
// viewport in the mapping mode, then the frame onto the picture. False for a mapping that would
// fold the picture onto a line or leave the numbers.
bool TEmfPlayer::MapLogical(const TPage& page, cairo_matrix_t& matrix) const
{
    double sx = 1, sy = 1;
    if (page.MapMode >= MmLoMetric && page.MapMode <= MmTwips) {
        double mm = MillimetresPerUnit[page.MapMode - MmLoMetric];
        sx = mm * PixelsPerMmX;
        sy = -mm * PixelsPerMmY;
    } else if (page.MapMode == MmIsotropic || page.MapMode == MmAnisotropic) {
        sx = page.ViewportExt.X / page.WindowExt.X;
        sy = page.ViewportExt.Y / page.WindowExt.Y;
        if (page.MapMode == MmIsotropic) {
            double s = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
    }
    cairo_matrix_t pageMatrix{
        sx, 0, 0, sy, page.ViewportOrg.X - page.WindowOrg.X * sx, page.ViewportOrg.Y - page.WindowOrg.Y * sy};
    cairo_matrix_t toDevice;
    cairo_matrix_multiply(&toDevice, &page.World, &pageMatrix);
    cairo_matrix_multiply(&matrix, &toDevice, &DeviceToPicture);
    return Finite(matrix);
}

// An upright mapping is the drawing model's window, so that figures land on whole pixels as
// GDI lays them; a turned or slanted one becomes cairo's transformation of the figures.
void TEmfPlayer::SetPage(const TPage& page)
{
    cairo_matrix_t matrix;
    if (!MapLogical(page, matrix))
        return;  // refused as the system refuses it: the mapping stays as it was
    Page = page;
    Mapping = matrix;
    TWmfPlayer::TWindow& window = Gdi.State.Window;
    if (matrix.xy == 0 && matrix.yx == 0) {
        window = {-matrix.x0 / matrix.xx, -matrix.y0 / matrix.yy, Width / matrix.xx, Height / matrix.yy};
        cairo_identity_matrix(Cr);
    } else {
        window = {0, 0, double(Width), double(Height)};
        cairo_set_matrix(Cr, &matrix);
    }
}

TEmfPlayer::TPoint TEmfPlayer::Device(TPoint logical) const
{
    cairo_matrix_transform_point(&Mapping, &logical.X, &logical.Y);
    return logical;
}

// The picture pixels a logical rectangle covers (the box around it when the mapping turns it).
TWmfPlayer::TPixelRect TEmfPlayer::PixelRect(const TLogicalRect& rect) const
{
    TPoint a = Device({rect.Left, rect.Top}), b = Device({rect.Right, rect.Bottom});
    TPoint c = Device({rect.Left, rect.Bottom}), d = Device({rect.Right, rect.Top});
    auto pixel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e9, 1e9))); };
    return {pixel(std::min({a.X, b.X, c.X, d.X})), pixel(std::min({a.Y, b.Y, c.Y, d.Y})),
            pixel(std::max({a.X, b.X, c.X, d.X})), pixel(std::max({a.Y, b.Y, c.Y, d.Y}))};
}
