// The window's picture area and how a picture sits in it: centred, the area cutting off whatever
// lies beyond its edges.
#pragma once

#include <algorithm>

namespace PictureArea {

// The panel that holds the picture control.
constexpr int Width = 156;
constexpr int Height = 96;

struct TSize {
    int Width = 0, Height = 0;
};

// A rectangle of a picture, in its own pixels.
struct TPart {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Where a picture `picture` pixels long starts in an area `area` long. The division truncates
// toward zero, as the original's did: a picture one pixel longer than the area sits at 0, and a
// larger one is cut on both sides.
constexpr int CentredOffset(int area, int picture) { return (area - picture) / 2; }

// The part of a `picture`-sized picture that an area of `area` shows when the picture is centred
// in it; a smaller picture shows whole.
constexpr TPart ShownPart(TSize picture, TSize area)
{
    const int left = std::max(0, -CentredOffset(area.Width, picture.Width));
    const int top = std::max(0, -CentredOffset(area.Height, picture.Height));
    const int right = std::min(picture.Width, area.Width - CentredOffset(area.Width, picture.Width));
    const int bottom = std::min(picture.Height, area.Height - CentredOffset(area.Height, picture.Height));
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

}  // namespace PictureArea
