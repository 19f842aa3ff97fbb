// Styled pens and hatched brushes of the metafile player, drawn pixel by pixel as GDI draws them
// on a screen: styles one pixel wide whose dashes count pixels, 8 x 8 hatches fixed to the
// device's origin, and the gaps of both in the background colour when the background is opaque.
#include "WmfPlayer.h"

#include "CairoCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <vector>

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

// The most steps of styled pens one metafile may walk across the drawn part, some eight million:
// each may cost cairo a rectangle, and they take about a second. A file of long styled lines
// would otherwise keep the player busy for minutes, where a picture walks a few thousand.
constexpr int64_t MaxStyledSteps = int64_t{8} << 20;

// The pixels of the drawn part a stroke lands on, each once: however long the stroke, it holds
// no more than twice the part's pixels.
class TPixelSet {
public:
    explicit TPixelSet(const PictureArea::TPart& part)
        : Part(part), Limit(2 * static_cast<size_t>(part.Width) * static_cast<size_t>(part.Height) + 1024)
    {
    }

    void Add(int64_t x, int64_t y)
    {
        x -= Part.Left;
        y -= Part.Top;
        if (x < 0 || y < 0 || x >= Part.Width || y >= Part.Height)
            return;
        Pixels.push_back(static_cast<uint32_t>(y * Part.Width + x));
        if (Pixels.size() > Limit)
            Compact();
    }

    // One rectangle for each run of pixels in a row, added to the current path.
    void AddRuns(cairo_t* cr)
    {
        Compact();
        const auto width = static_cast<uint32_t>(Part.Width);
        for (size_t i = 0; i < Pixels.size();) {
            size_t end = i + 1;
            while (end < Pixels.size() && Pixels[end] == Pixels[end - 1] + 1 && Pixels[end] % width != 0)
                ++end;
            cairo_rectangle(cr, Part.Left + Pixels[i] % width, Part.Top + Pixels[i] / width, double(end - i), 1);
            i = end;
        }
    }

private:
    void Compact()
    {
        std::sort(Pixels.begin(), Pixels.end());
        Pixels.erase(std::unique(Pixels.begin(), Pixels.end()), Pixels.end());
    }

    PictureArea::TPart Part;
    size_t Limit;
    std::vector<uint32_t> Pixels;  // row by row from the part's top left
};

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
    TPixelSet dash(Drawn), gap(Drawn);
    int64_t step = 0;  // pixels of the style gone by
    auto plot = [&](int64_t x, int64_t y) {
        int phase = static_cast<int>(step++ % period), k = 0;
        while (phase >= dashes.Lengths[k])
            phase -= dashes.Lengths[k++];
        (k % 2 == 0 ? dash : gap).Add(x, y);
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
        StyledSteps += i1 - i0 + 1;
        if (StyledSteps > MaxStyledSteps)
            In.Damaged();
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
    auto fill = [&](TPixelSet& pixels, TColor colour) {
        pixels.AddRuns(Cr);
        SetSourceColour(Cr, colour);
        cairo_fill(Cr);
    };
    fill(dash, State.Pen.Colour);
    if (State.OpaqueBackground)
        fill(gap, State.BkColour);
    cairo_restore(Cr);
}
