// Clipping of the metafile player: rectangles and rectangle regions, kept as a list of disjoint
// device rectangles, saved and restored with the rest of the device context.
#include "WmfPlayer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t RegionHeaderWords = 11;  // chain, type, count (2), size, scans, max scan, bounds (4)
// Each exclusion can split the clipping rectangles it crosses; past this many, a metafile that
// carves up the picture further is drawn with less clipping rather than ever more slowly.
constexpr size_t MaxClipRects = 4096;
// The most clipping rectangles one metafile may have applied and saved in all. Each costs cairo
// a rectangle of a clipping path, and each saved copy memory: a file that selects a region of
// thousands of rectangles over and over would otherwise keep the player busy for half an hour.
// Four million take under a second and 64 MB.
constexpr size_t MaxClipWork = size_t{4} << 20;

}  // namespace

// A clipping path costs about a rectangle for every four of its elements.
size_t TWmfPlayer::ClipPathWork(const TPathData& path) { return path.size() / 4 + 1; }

// A rectangle of logical units as the device pixels it covers.
TWmfPlayer::TPixelRect TWmfPlayer::PixelRect(double l, double t, double r, double b) const
{
    int x0 = static_cast<int>(std::lround(X(l))), x1 = static_cast<int>(std::lround(X(r)));
    int y0 = static_cast<int>(std::lround(Y(t))), y1 = static_cast<int>(std::lround(Y(b)));
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

// META_CREATEREGION: a header with the bounds, then scans of one band each (its top and bottom
// and pairs of left and right edges). A region whose scans do not fit the record keeps its
// bounds, which for the rectangle regions metafiles hold is the same; one of more rectangles
// than a clipping may hold is damaged.
TWmfPlayer::TRegion TWmfPlayer::ReadRegion(const TRecord& r) const
{
    TRegion region;
    if (r.Words < RegionHeaderWords)
        return region;  // no bounds: an empty region
    size_t scans = static_cast<uint16_t>(Param(r, 5));
    TPixelRect bounds{Param(r, 7), Param(r, 8), Param(r, 9), Param(r, 10)};
    size_t at = RegionHeaderWords;
    for (size_t i = 0; i < scans; ++i) {
        if (at + 3 > r.Words) {
            region.Rects = {bounds};
            return region;
        }
        size_t edges = static_cast<uint16_t>(Param(r, at));
        int top = Param(r, at + 1), bottom = Param(r, at + 2);
        if (at + 3 + edges + 1 > r.Words) {
            region.Rects = {bounds};
            return region;
        }
        for (size_t k = 0; k + 1 < edges; k += 2)
            region.Rects.push_back({Param(r, at + 3 + k), top, Param(r, at + 4 + k), bottom});
        if (region.Rects.size() > MaxClipRects)
            In.Damaged();
        at += 3 + edges + 1;  // the edge count again closes the scan
    }
    return region;
}

// Moves the clipping rectangles by a logical offset.
void TWmfPlayer::OffsetClip(double x, double y)
{
    if (!State.Clip)
        return;
    // Far beyond the picture a rectangle only needs to stay there.
    auto moved = [](int edge, double by) { return static_cast<int>(std::clamp(edge + std::round(by), -1e9, 1e9)); };
    double dx = x * ScaleX(), dy = y * ScaleY();
    for (TPixelRect& c : *State.Clip)
        c = {moved(c.Left, dx), moved(c.Top, dy), moved(c.Right, dx), moved(c.Bottom, dy)};
    ApplyClip();
}

// Combines the clipping with the union of `rects` as a region operation does: RGN_AND 1, RGN_OR 2
// (and RGN_XOR 3, taken as it), RGN_DIFF 4, RGN_COPY 5. Clipping paths are left as they are.
void TWmfPlayer::CombineClip(const std::vector<TPixelRect>& rects, int mode)
{
    std::vector<TPixelRect> whole{{0, 0, Width, Height}};
    const std::vector<TPixelRect>& current = State.Clip ? *State.Clip : whole;
    std::vector<TPixelRect> combined;
    if (mode == 1) {
        CountClipWork(current.size() * rects.size());
        for (const TPixelRect& c : current)
            for (const TPixelRect& r : rects) {
                TPixelRect i{std::max(c.Left, r.Left), std::max(c.Top, r.Top), std::min(c.Right, r.Right),
                             std::min(c.Bottom, r.Bottom)};
                if (i.Left < i.Right && i.Top < i.Bottom)
                    combined.push_back(i);
            }
    } else if (mode == 2 || mode == 3) {
        combined = current;
        combined.insert(combined.end(), rects.begin(), rects.end());
    } else if (mode == 4) {
        for (const TPixelRect& r : rects)
            ExcludeClip(r);
        return;
    } else if (mode == 5) {
        combined = rects;
    } else {
        return;
    }
    if (combined.size() > MaxClipRects)
        In.Damaged();
    State.Clip = std::move(combined);
    ApplyClip();
}

void TWmfPlayer::IntersectClip(const TPixelRect& rect)
{
    std::vector<TPixelRect> inside;
    for (const TPixelRect& c : State.Clip.value_or(std::vector<TPixelRect>{{0, 0, Width, Height}})) {
        TPixelRect i{std::max(c.Left, rect.Left), std::max(c.Top, rect.Top), std::min(c.Right, rect.Right),
                     std::min(c.Bottom, rect.Bottom)};
        if (i.Left < i.Right && i.Top < i.Bottom)
            inside.push_back(i);
    }
    State.Clip = std::move(inside);
    ApplyClip();
}

void TWmfPlayer::ExcludeClip(const TPixelRect& rect)
{
    std::vector<TPixelRect> outside;
    auto keep = [&](int l, int t, int r, int b) {
        if (l < r && t < b)
            outside.push_back({l, t, r, b});
    };
    for (const TPixelRect& c : State.Clip.value_or(std::vector<TPixelRect>{{0, 0, Width, Height}})) {
        if (rect.Right <= c.Left || rect.Left >= c.Right || rect.Bottom <= c.Top || rect.Top >= c.Bottom) {
            outside.push_back(c);
            continue;
        }
        int top = std::max(c.Top, rect.Top), bottom = std::min(c.Bottom, rect.Bottom);
        keep(c.Left, c.Top, c.Right, top);        // above
        keep(c.Left, bottom, c.Right, c.Bottom);  // below
        keep(c.Left, top, rect.Left, bottom);     // left of it
        keep(rect.Right, top, c.Right, bottom);   // right of it
    }
    if (outside.size() > MaxClipRects)
        return;
    State.Clip = std::move(outside);
    ApplyClip();
}

// Selecting a region clips to it (in the device units of the moment); selecting anything else,
// as a metafile records a selected null region, clips no more.
void TWmfPlayer::SelectClipRegion(int index)
{
    const TRegion* region = nullptr;
    if (index >= 0 && static_cast<size_t>(index) < Objects.size() && Objects[static_cast<size_t>(index)])
        region = std::get_if<TRegion>(&*Objects[static_cast<size_t>(index)]);
    if (!region) {
        State.Clip.reset();
    } else {
        State.Clip.emplace();
        for (const TPixelRect& r : region->Rects) {
            TPixelRect p = PixelRect(r.Left, r.Top, r.Right, r.Bottom);
            if (p.Left < p.Right && p.Top < p.Bottom)
                State.Clip->push_back(p);
        }
    }
    ApplyClip();
}

void TWmfPlayer::CountClipWork(size_t rects)
{
    ClipWork += rects;
    if (ClipWork > MaxClipWork)
        In.Damaged();
}

// Rectangles and paths are in picture pixels, whatever transformation the figures are drawn with.
void TWmfPlayer::ApplyClip()
{
    cairo_reset_clip(Cr);
    if (!State.Clip && State.ClipPaths.empty())
        return;
    cairo_matrix_t figures;
    cairo_get_matrix(Cr, &figures);
    cairo_identity_matrix(Cr);
    cairo_fill_rule_t rule = cairo_get_fill_rule(Cr);
    cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_WINDING);  // a damaged region's rectangles may overlap
    if (State.Clip) {
        CountClipWork(State.Clip->size());
        cairo_new_path(Cr);
        for (const TPixelRect& r : *State.Clip)
            cairo_rectangle(Cr, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        cairo_clip(Cr);  // an empty path clips everything away
    }
    for (const auto& path : State.ClipPaths) {
        CountClipWork(ClipPathWork(*path));
        cairo_path_t view{CAIRO_STATUS_SUCCESS, const_cast<cairo_path_data_t*>(path->data()),
                          static_cast<int>(path->size())};
        cairo_new_path(Cr);
        cairo_append_path(Cr, &view);
        cairo_clip(Cr);
    }
    cairo_set_fill_rule(Cr, rule);
    cairo_set_matrix(Cr, &figures);
}
