// Styled pens and hatched brushes of the metafile player, drawn pixel by pixel as GDI draws them
// on a screen: styles one pixel wide whose dashes count pixels, 8 x 8 hatches fixed to the
// device's origin, and the gaps of both in the background colour when the background is opaque.
#include "WmfPlayer.h"

#include "CairoCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace {

constexpr int PenDashDotDot = 4;
constexpr int HatchPatterns = 6;

// Rows of the hatch patterns from the top, the high bit leftmost: HS_HORIZONTAL, HS_VERTICAL,
// HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS.
constexpr unsigned char Hatches[HatchPatterns][8] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}, {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0xFF}, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
};

// Dashes and gaps in pixels, alternating from a dash: PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT.
struct TDashes {
    int Count;
    int Lengths[6];
};
constexpr TDashes PenStyles[4] = {{2, {18, 6}}, {2, {3, 3}}, {4, {9, 6, 3, 6}}, {6, {9, 3, 3, 3, 3, 3}}};

}  // namespace

bool TWmfPlayer::SetBrushSource()
{
    if (State.Brush.Style == BrushNull)
        return false;
    if (State.Brush.Style != BrushHatched || State.Brush.Hatch < 0 || State.Brush.Hatch >= HatchPatterns) {
        SetSourceColour(Cr, State.Brush.Colour);
        return true;
    }
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_surface_flush(tile);
    unsigned char* data = cairo_image_surface_get_data(tile);
    int stride = cairo_image_surface_get_stride(tile);
    if (!data) {
        cairo_surface_destroy(tile);
        SetSourceColour(Cr, State.Brush.Colour);
        return true;
    }
    uint32_t line = 0xFF000000 | State.Brush.Colour;
    uint32_t gap = State.OpaqueBackground ? 0xFF000000 | State.BkColour : 0;
    for (int y = 0; y < 8; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < 8; ++x)
            row[x] = (Hatches[State.Brush.Hatch][y] & (0x80 >> x)) ? line : gap;
    }
    cairo_surface_mark_dirty(tile);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_set_source(Cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(tile);
    return true;
}

// A pen wider than one logical unit is solid whatever its style, as GDI makes it.
bool TWmfPlayer::DashedPen() const
{
    return State.Pen.Style >= 1 && State.Pen.Style <= PenDashDotDot && State.Pen.Width <= 1;
}

// Strokes the current path (through pixel centres, as the figures lay it) one pixel wide: each
// straight piece stepped pixel by pixel without its last pixel, the style running on along the
// whole figure.
void TWmfPlayer::StrokeDashed()
{
    const TDashes& dashes = PenStyles[State.Pen.Style - 1];
    int64_t period = 0;
    for (int i = 0; i < dashes.Count; ++i)
        period += dashes.Lengths[i];
    // Which pixels of the drawn part each kind of step lands on: a figure of any length then
    // costs cairo at most one rectangle a run of pixels.
    constexpr uint8_t Dash = 1, Gap = 2;
    std::vector<uint8_t> marks(static_cast<size_t>(Drawn.Width) * static_cast<size_t>(Drawn.Height));
    int64_t step = 0;  // pixels of the style gone by
    auto plot = [&](int64_t x, int64_t y) {
        int phase = static_cast<int>(step++ % period), k = 0;
        while (phase >= dashes.Lengths[k])
            phase -= dashes.Lengths[k++];
        x -= Drawn.Left;
        y -= Drawn.Top;
        if (x >= 0 && y >= 0 && x < Drawn.Width && y < Drawn.Height)
            marks[static_cast<size_t>(y) * static_cast<size_t>(Drawn.Width) + static_cast<size_t>(x)] |=
                k % 2 == 0 ? Dash : Gap;
    };
    auto line = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        int64_t dx = x1 - x0, dy = y1 - y0, n = std::max(std::abs(dx), std::abs(dy));
        if (n == 0)
            return;
        // Only the steps that land on the drawn part of the picture (give or take a pixel) are
        // walked; the others just advance the style.
        double first = 0, last = static_cast<double>(n - 1);
        for (auto [p, d, low, high] : {std::tuple{x0, dx, Drawn.Left, Drawn.Left + Drawn.Width},
                                       std::tuple{y0, dy, Drawn.Top, Drawn.Top + Drawn.Height}}) {
            if (d == 0) {
                if (p < low - 1 || p > high)
                    first = last + 1;
                continue;
            }
            double a = (low - 1.0 - static_cast<double>(p)) * static_cast<double>(n) / static_cast<double>(d);
            double b = (high - static_cast<double>(p)) * static_cast<double>(n) / static_cast<double>(d);
            first = std::max(first, std::floor(std::min(a, b)) - 1);
            last = std::min(last, std::ceil(std::max(a, b)) + 1);
        }
        if (first > last) {
            step += n;
            return;
        }
        auto i0 = static_cast<int64_t>(first), i1 = static_cast<int64_t>(last);
        step += i0;
        for (int64_t i = i0; i <= i1; ++i) {
            // The pixel nearest the exact line at each step of the longer axis.
            auto along = [&](int64_t d) {
                return static_cast<int64_t>(
                    std::floor((2.0 * static_cast<double>(i) * static_cast<double>(d) + static_cast<double>(n)) /
                               (2.0 * static_cast<double>(n))));
            };
            plot(x0 + along(dx), y0 + along(dy));
        }
        step += n - 1 - i1;
    };

    cairo_path_t* path = cairo_copy_path_flat(Cr);
    cairo_new_path(Cr);
    int64_t startX = 0, startY = 0, x = 0, y = 0;
    bool open = false;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t& d = path->data[i];
        if (d.header.type == CAIRO_PATH_CLOSE_PATH) {
            if (open)
                line(x, y, startX, startY);
            x = startX;
            y = startY;
            continue;
        }
        // Figures lie within int16 logical units scaled onto the picture; far beyond it they
        // are only clamped, where none of their pixels would show anyway.
        auto pixel = [](double v) { return static_cast<int64_t>(std::floor(std::clamp(v, -1e15, 1e15))); };
        int64_t px = pixel(path->data[i + 1].point.x), py = pixel(path->data[i + 1].point.y);
        if (d.header.type == CAIRO_PATH_LINE_TO && open) {
            line(x, y, px, py);
        } else {
            startX = px;
            startY = py;
        }
        x = px;
        y = py;
        open = true;
    }
    cairo_path_destroy(path);

    cairo_save(Cr);
    cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_WINDING);  // a pixel met twice stays drawn
    auto fill = [&](uint8_t kind, TColor colour) {
        for (int y = 0; y < Drawn.Height; ++y) {
            const uint8_t* row = &marks[static_cast<size_t>(y) * static_cast<size_t>(Drawn.Width)];
            for (int x = 0; x < Drawn.Width;) {
                int end = x;
                while (end < Drawn.Width && (row[end] & kind))
                    ++end;
                if (end > x)
                    cairo_rectangle(Cr, Drawn.Left + x, Drawn.Top + y, end - x, 1);
                x = std::max(end, x + 1);
            }
        }
        SetSourceColour(Cr, colour);
        cairo_fill(Cr);
    };
    fill(Dash, State.Pen.Colour);
    if (State.OpaqueBackground)
        fill(Gap, State.BkColour);
    cairo_restore(Cr);
}
