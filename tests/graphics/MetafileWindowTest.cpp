#include "PictureFiles.h"

#include "platform/graphics/GraphicFormats.h"

#include <string>

#include <gtest/gtest.h>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;
enum : uint16_t {
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SelectObject = 0x012D,
    CreatePen = 0x02FA,
    CreateBrush = 0x02FC,
    CreateFont = 0x02FB,
    Ellipse = 0x0418,
    TextOut = 0x0521,
};

// A red disc with a thick black outline, its box from `low` to `high` on both axes, in a window of
// 1369 units square shown at 1200 units an inch (110 pixels), as a drawing program wrote it.
// `more` records follow the disc.
TRgbImage Disc(int low, int high, const std::vector<TWmfRecord>& more = {})
{
    std::vector<TWmfRecord> records{
        {SetWindowExt, {1369, 1369}},     {SetWindowOrg, {0, 0}}, {CreatePen, {0, 13, 0, 0, 0}},    {SelectObject, {0}},
        {CreateBrush, {0, 0x00FF, 0, 0}}, {SelectObject, {1}},    {Ellipse, {high, high, low, low}}};
    records.insert(records.end(), more.begin(), more.end());
    return LoadGraphic("wmf", Wmf(1369, 1369, 1200, 3, records), Backdrop)->Render();
}

// The first and last pixel of row `y` in red.
std::pair<int, int> RedSpan(const TRgbImage& image, int y)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.Width; ++x)
        if (image.Pixels[size_t(y * image.Width + x)] == 0xFF0000) {
            first = first < 0 ? x : first;
            last = x;
        }
    return {first, last};
}

}  // namespace

TEST(WindowsMetafile, ADrawingFarPastItsWindowIsFramedByWhatItDraws)
{
    // The disc reaches a fifth of the picture past the window's right and bottom edges: the
    // picture shows it whole, its outline on the picture's edges, as GDI shows it.
    TRgbImage past = Disc(263, 1587);
    ASSERT_EQ(past.Width, 110);
    auto [left, right] = RedSpan(past, 55);
    EXPECT_LE(left, 2);
    EXPECT_GE(right, 106);
    EXPECT_LT(right, 109) << "the outline is not cut";
    EXPECT_EQ(past.Pixels[0], Backdrop) << "the corner outside the disc";
    EXPECT_EQ(past.Pixels[size_t(2 * 110 + 55)], 0xFF0000u) << "its top";
    EXPECT_EQ(past.Pixels[size_t(106 * 110 + 55)], 0xFF0000u) << "its bottom";

    // Within its window, or a few pixels past it, the same disc keeps its place and size.
    TRgbImage inside = Disc(263, 1106);
    std::tie(left, right) = RedSpan(inside, 55);
    EXPECT_EQ(left, 22);
    EXPECT_EQ(right, 87);
    TRgbImage slightlyPast = Disc(263, 1420);
    std::tie(left, right) = RedSpan(slightlyPast, 67);  // through its centre
    EXPECT_EQ(left, 22);
    EXPECT_EQ(right, 109) << "cut at the picture's edge";
}

TEST(WindowsMetafile, FramingAgainPastTheBoundsOfOneMetafileLeavesItCut)
{
    // Text 1,024 pixels high, above the picture, takes five eighths of what one metafile may
    // show: drawing it all again to frame the disc would pass that bound.
    std::vector<int> font{-12800, 0, 0, 0, 400, 0, 0, 0, 0};
    font.resize(9 + 16, 0);
    TRgbImage past = Disc(
        263, 1587, {{CreateFont, font}, {SelectObject, {2}}, {TextOut, WmfTextOut(0, -30000, std::string(160, 'A'))}});
    EXPECT_GT(RedSpan(past, 55).first, 20) << "cut at its window, not framed";
}
