// Enhanced metafiles made record by record, drawn by the player's own GDI model: each drawing
// family, a frame metres wide, and records that do not hold what they claim.
#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/GraphicFormats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;
constexpr PictureArea::TSize Panel{156, 96};
const std::string BadMetafile = "メタファイルが無効です";

enum : uint32_t {
    PolyBezier16 = 85,
    Polygon16 = 86,
    PolyPolygon16 = 91,
    SetWindowExtEx = 9,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    SetMapMode = 17,
    SetBkMode = 18,
    SetTextColor = 24,
    SetBkColor = 25,
    MoveToEx = 27,
    ExcludeClipRect = 29,
    IntersectClipRect = 30,
    SaveDc = 33,
    RestoreDc = 34,
    SetWorldTransform = 35,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    Ellipse = 42,
    Rectangle = 43,
    LineTo = 54,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    SelectClipPath = 67,
    ExtSelectClipRgn = 75,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutW = 84,
    SmallTextOut = 108,
    GradientFill = 118,
};
constexpr uint32_t Stock = 0x80000000, NullPen = Stock | 8, BlackBrush = Stock | 4, RgnCopy = 5;

uint32_t Rgb(TColor c) { return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16); }
uint32_t U(int v) { return static_cast<uint32_t>(v); }
uint32_t Float(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
TEmfRecord Box(uint32_t type, int l, int t, int r, int b) { return {type, {U(l), U(t), U(r), U(b)}}; }
TEmfRecord Brush(uint32_t slot, TColor c) { return {CreateBrushIndirect, {slot, 0, Rgb(c), 0}}; }
TEmfRecord Select(uint32_t object) { return {SelectObject, {object}}; }
// XFORM: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
TEmfRecord Transform(float m11, float m12, float m21, float m22, float dx, float dy)
{
    return {SetWorldTransform, {Float(m11), Float(m12), Float(m21), Float(m22), Float(dx), Float(dy)}};
}
// A polygon record of 16-bit points, with its bounds left empty.
TEmfRecord Points16(uint32_t type, const std::vector<std::pair<int, int>>& points)
{
    TEmfRecord r{type, {0, 0, 0, 0, U(int(points.size()))}};
    for (auto [x, y] : points)
        r.Params.push_back((U(x) & 0xFFFF) | U(y) << 16);
    return r;
}

TPicture Load(const std::vector<TEmfRecord>& records) { return {LoadGraphic("emf", Emf(100, 50, records), Backdrop)}; }

std::string LoadError(const std::string& file)
{
    try {
        LoadGraphic("emf", file, Backdrop, Panel);
        return "";
    } catch (const EInvalidGraphic& e) {
        return Sjis::ToUtf8(e.what());
    }
}

}  // namespace

TEST(EnhancedMetafile, ShapesTakeThePenAndBrushOfTheirSlotOrAStockObject)
{
    TPicture p = Load({{CreatePen, {1, 0, 3, 0, Rgb(0x0000FF)}},
                       Brush(2, 0xFF0000),
                       Select(1),
                       Select(2),
                       Box(Rectangle, 10, 10, 40, 40),
                       Select(NullPen),
                       Select(BlackBrush),
                       Box(Ellipse, 50, 10, 90, 40),
                       {DeleteObject, {2}},
                       Select(2),
                       Points16(Polygon16, {{92, 5}, {99, 5}, {99, 45}})});
    EXPECT_EQ(p.At(25, 25), 0xFF0000u) << "the brush of slot 2";
    EXPECT_EQ(p.At(11, 25), 0x0000FFu) << "the pen of slot 1, three pixels wide";
    EXPECT_EQ(p.At(70, 25), 0x000000u) << "the stock black brush";
    EXPECT_EQ(p.At(51, 25), 0x000000u) << "the stock null pen leaves no outline";
    EXPECT_EQ(p.At(97, 30), 0x000000u) << "a deleted slot selects nothing";
    EXPECT_EQ(p.At(94, 40), Backdrop);
}

TEST(EnhancedMetafile, TheWorldTransformAndMappingModesPlaceFigures)
{
    TPicture p = Load({Brush(1, 0xFF0000),
                       Select(1),
                       Select(NullPen),
                       {SaveDc, {}},
                       Transform(2, 0, 0, 2, 10, 5),
                       Box(Rectangle, 0, 0, 10, 10),
                       {RestoreDc, {U(-1)}},
                       Box(Rectangle, 40, 42, 44, 46),
                       // Ten logical units to twenty pixels, upwards from 50,40.
                       {SetMapMode, {8}},
                       {SetWindowExtEx, {10, 10}},
                       {SetViewportExtEx, {20, U(-20)}},
                       {SetViewportOrgEx, {50, 40}},
                       Brush(2, 0x0000FF),
                       Select(2),
                       Box(Rectangle, 0, 0, 10, 10),
                       // A quarter turn: x' = 90 - y, y' = x.
                       {SetMapMode, {1}},
                       {SetViewportOrgEx, {0, 0}},
                       Transform(0, 1, -1, 0, 90, 0),
                       Brush(3, 0x00FF00),
                       Select(3),
                       Box(Rectangle, 0, 0, 30, 5),
                       {ModifyWorldTransform, {0, 0, 0, 0, 0, 0, 1}},
                       Box(Rectangle, 0, 44, 4, 48)});
    EXPECT_EQ(p.At(20, 15), 0xFF0000u) << "scaled twice and moved";
    EXPECT_EQ(p.At(32, 15), Backdrop);
    EXPECT_EQ(p.At(42, 44), 0xFF0000u) << "the transform restored with the context";
    EXPECT_EQ(p.At(60, 30), 0x0000FFu) << "the viewport's y runs up";
    EXPECT_EQ(p.At(60, 42), Backdrop);
    EXPECT_EQ(p.At(87, 20), 0x00FF00u) << "turned onto its side";
    EXPECT_EQ(p.At(75, 3), Backdrop);
    EXPECT_EQ(p.At(2, 46), 0x00FF00u) << "the identity again";
}

TEST(EnhancedMetafile, PathsFillAndClip)
{
    TPicture p = Load({Brush(1, 0x00FF00),
                       Select(1),
                       Select(NullPen),
                       {BeginPath, {}},
                       {MoveToEx, {10, 10}},
                       {LineTo, {60, 10}},
                       {LineTo, {60, 40}},
                       {CloseFigure, {}},
                       Points16(PolyBezier16, {{65, 5}, {95, 5}, {95, 45}, {65, 45}}),
                       {EndPath, {}},
                       {FillPath, {0, 0, 0, 0}},
                       Brush(2, 0x0000FF),
                       Select(2),
                       {BeginPath, {}},
                       Box(Rectangle, 5, 20, 30, 45),
                       {EndPath, {}},
                       {SelectClipPath, {RgnCopy}},
                       Box(Rectangle, 0, 0, 100, 50)});
    EXPECT_EQ(p.At(50, 15), 0x00FF00u) << "inside the closed figure";
    EXPECT_EQ(p.At(80, 25), 0x00FF00u) << "inside the curve";
    EXPECT_EQ(p.At(40, 35), Backdrop) << "the figure's other side; the clip leaves it";
    EXPECT_EQ(p.At(15, 35), 0x0000FFu) << "inside the clipping path";
}

TEST(EnhancedMetafile, ClippingRectanglesAndRegionsAreSavedWithTheContext)
{
    // RGNDATA: its header (size, type, count, bytes, bounds), then one rectangle in device pixels.
    TEmfRecord region{ExtSelectClipRgn, {48, RgnCopy, 32, 1, 1, 16, 60, 10, 90, 40, 60, 10, 90, 40}};
    TPicture p = Load({Brush(1, 0xFF0000),
                       Select(1),
                       Select(NullPen),
                       {SaveDc, {}},
                       Box(IntersectClipRect, 10, 10, 50, 40),
                       Box(ExcludeClipRect, 20, 20, 30, 30),
                       Box(Rectangle, 0, 0, 100, 50),
                       {RestoreDc, {U(-1)}},
                       region,
                       Brush(2, 0x0000FF),
                       Select(2),
                       Box(Rectangle, 0, 0, 100, 50)});
    EXPECT_EQ(p.At(15, 15), 0xFF0000u);
    EXPECT_EQ(p.At(25, 25), Backdrop) << "excluded";
    EXPECT_EQ(p.At(5, 5), Backdrop) << "outside the intersection";
    EXPECT_EQ(p.At(70, 20), 0x0000FFu) << "inside the region, after the saved clipping was restored";
    EXPECT_EQ(p.At(95, 45), Backdrop);
}

TEST(EnhancedMetafile, WideTextIsDrawnInItsFontColourAndSpacing)
{
    // LOGFONTW: height -20, weight 400, face "Arial" in UTF-16.
    TEmfRecord font{ExtCreateFontIndirectW, {1, U(-20), 0, 0, 0, 400, 0, 0, 'A' | 'r' << 16, 'i' | 'a' << 16, 'l'}};
    font.Params.resize(1 + 7 + 16, 0);
    std::u16string text = u"表示";
    // EMRTEXT at 10,10: two characters at byte 76, no options, spacing at byte 80 of 30 and 20.
    TEmfRecord out{ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 10, 2, 76, 0, 0, 0, 0, 0, 80}};
    out.Params.push_back(text[0] | uint32_t(text[1]) << 16);
    out.Params.insert(out.Params.end(), {30, 20});
    // No text, an opaque rectangle in the background colour.
    TEmfRecord opaque{ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 70, 30, 0, 76, 2, 70, 30, 90, 45, 0}};
    TPicture p = Load({font,
                       Select(1),
                       {SetTextColor, {Rgb(0xFF0000)}},
                       {SetBkMode, {1}},
                       out,
                       {SetBkColor, {Rgb(0x0000FF)}},
                       opaque});
    EXPECT_GT(p.Count(0xFF0000, 10, 10, 31, 32), 30) << "the first character";
    EXPECT_EQ(p.Count(0xFF0000, 32, 0, 39, 50), 0) << "the room its spacing leaves";
    EXPECT_GT(p.Count(0xFF0000, 40, 10, 62, 32), 30) << "the second character, 30 units on";
    EXPECT_EQ(p.At(80, 40), 0x0000FFu);
    // Characters Shift-JIS lacks are drawn as themselves.
    auto single = [&](char16_t c) {
        TEmfRecord one{ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 10, 1, 76, 0, 0, 0, 0, 0, 0, c}};
        return Load({font, Select(1), one}).Graphic->Render().Pixels;
    };
    EXPECT_NE(single(u'é'), single(u'?'));
    // A noncharacter is no text cairo takes; the drawing goes on after it.
    TPicture after = Load({font,
                           Select(1),
                           {ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 10, 1, 76, 0, 0, 0, 0, 0, 0, 0xFFFF}},
                           Brush(2, 0x00FF00),
                           Select(2),
                           Box(Rectangle, 60, 10, 90, 40)});
    EXPECT_EQ(after.At(75, 25), 0x00FF00u);
    // EMR_SMALLTEXTOUT: at 60,5, two characters as their low bytes, no rectangle.
    TPicture small = Load(
        {font, Select(1), {SetTextColor, {Rgb(0xFF0000)}}, {SmallTextOut, {60, 5, 2, 0x300, 1, 0, 0, 'H' | 'i' << 8}}});
    EXPECT_GT(small.Count(0xFF0000, 60, 5, 90, 30), 20);
    EXPECT_EQ(small.Count(0xFF0000, 0, 0, 58, 50), 0);
}

TEST(EnhancedMetafile, GradientsShadeBetweenTheirVerticesColours)
{
    // Two vertices (x, y, then 16-bit red, green, blue, alpha): red at 10,10, blue at 90,30;
    // one rectangle shaded across, then a triangle of three colours below it.
    TEmfRecord across{GradientFill, {0, 0, 0, 0, 2, 1, 0, 10, 10, 0xFF00, 0, 90, 30, 0, 0xFF00, 0, 1}};
    TEmfRecord triangle{GradientFill,
                        {0, 0, 0, 0, 3, 1, 2, 10, 35, 0xFF00, 0, 90, 35, 0xFF000000u, 0, 50, 49, 0, 0xFF00, 0, 1, 2}};
    TPicture p = Load({across, triangle});
    auto red = [&](int x, int y) { return p.At(x, y) >> 16; };
    auto blue = [&](int x, int y) { return p.At(x, y) & 0xFF; };
    EXPECT_GT(red(12, 20), 0xE0u);
    EXPECT_LT(blue(12, 20), 0x20u);
    EXPECT_GT(blue(88, 20), 0xE0u);
    EXPECT_NEAR(double(red(50, 20)), 0x80, 0x10) << "half way";
    EXPECT_GT(p.At(50, 38) >> 8 & 0xFF, 0x50u) << "inside the triangle, green from its top";
    EXPECT_EQ(p.At(5, 45), Backdrop);
}

TEST(EnhancedMetafile, StretchDibitsStretchesItsBitmapIntoTheBox)
{
    std::string dib = Bitmap(TRgbImage{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}}).substr(14);
    // Destination 10,10; source 0,0 2 x 2; the header at byte 80, the bits after it; 40 x 20.
    TEmfRecord blit{StretchDiBits,
                    {0, 0, 0, 0, 10, 10, 0, 0, 2, 2, 80, 40, 120, U(int(dib.size()) - 40), 0, 0x00CC0020, 40, 20}};
    for (size_t i = 0; i < dib.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4 && i + k < dib.size(); ++k)
            word |= uint32_t(uint8_t(dib[i + k])) << (8 * k);
        blit.Params.push_back(word);
    }
    TPicture p = Load({blit});
    EXPECT_EQ(p.At(15, 12), 0xFF0000u);
    EXPECT_EQ(p.At(45, 12), 0x00FF00u);
    EXPECT_EQ(p.At(15, 27), 0x0000FFu);
    EXPECT_EQ(p.At(45, 27), 0xFFFFFFu);
    EXPECT_EQ(p.At(55, 20), Backdrop);
}

// Text drawn turned and magnified by the world transform is rasterised at the size it is drawn:
// it counts toward the metafile's bound on glyph pixels at that size.
TEST(EnhancedMetafile, TurnedTextCountsItsGlyphsAtTheSizeTheyAreDrawn)
{
    TEmfRecord font{ExtCreateFontIndirectW, {1, U(-10), 0, 0, 0, 400, 0, 0, 'A'}};
    font.Params.resize(1 + 7 + 16, 0);
    auto text = [&](uint32_t characters) {
        TEmfRecord out{ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 0, 0, characters, 76, 0, 0, 0, 0, 0, 0}};
        out.Params.resize(out.Params.size() + (characters + 1) / 2, 'A' | 'A' << 16);
        return LoadError(Emf(100, 50, {font, Select(1), Transform(0, 100, -100, 0, 50, 0), out}));
    };
    // A hundred times ten pixels: a million glyph pixels each, some 268 characters allowed.
    EXPECT_EQ(text(250), "");
    EXPECT_EQ(text(300), BadMetafile);
}

// A frame of 3.2 x 4.1 metres is 12,094 x 15,496 pixels: the picture keeps that size, and only
// the part the panel shows of its middle is drawn and kept.
TEST(EnhancedMetafile, AFrameOfMetresCostsOnlyWhatThePanelShows)
{
    std::vector<TEmfRecord> records{Brush(1, 0xFF0000), Select(1)};
    records.insert(records.end(), 2000, Box(Rectangle, 0, 0, 12094, 15496));
    records.insert(records.end(), {Select(Stock | 0), Box(Ellipse, 6037, 7738, 6057, 7758)});  // white, in the middle
    std::string emf = Emf(12094, 15496, records);
    auto start = std::chrono::steady_clock::now();
    std::shared_ptr<TGraphic> picture = LoadGraphic("emf", emf, Backdrop, Panel);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    ASSERT_EQ(picture->Width(), 12094);
    ASSERT_EQ(picture->Height(), 15496);
    const TRgbImage& shown = picture->Render();
    EXPECT_EQ(shown.Left, 6047 - 78);
    EXPECT_EQ(shown.Top, 7748 - 48);
    ASSERT_EQ(shown.Width, 156);
    ASSERT_EQ(shown.Height, 96);
    EXPECT_EQ(shown.Pixels[48 * 156 + 78], 0xFFFFFFu) << "the middle";
    EXPECT_EQ(shown.Pixels[0], 0xFF0000u);
    // Asked for without a panel, it is drawn as the panel would show it.
    EXPECT_EQ(LoadGraphic("emf", emf, Backdrop)->Render().Pixels.size(), size_t(156 * 96));
}

TEST(EnhancedMetafile, RecordsThatDoNotHoldWhatTheyClaimAreDamage)
{
    auto bad = [](TEmfRecord record) { return LoadError(Emf(100, 50, {record})); };
    EXPECT_EQ(bad({Rectangle, {1, 2, 3}}), BadMetafile) << "a rectangle short of its bottom";
    TEmfRecord polygon = Points16(Polygon16, {{1, 1}, {9, 1}, {9, 9}});
    polygon.Params[4] = 0x7FFFFFFF;
    EXPECT_EQ(bad(polygon), BadMetafile) << "more points than the record holds";
    EXPECT_EQ(bad({PolyPolygon16, {0, 0, 0, 0, 0x40000000, 3, 3}}), BadMetafile) << "more figures than it holds";
    EXPECT_EQ(bad({ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 10, 0x7FFFFFFF, 76, 0, 0, 0, 0, 0, 0, 0}}), BadMetafile)
        << "more characters than it holds";
    EXPECT_EQ(bad({ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 10, 10, 1, 0xFFFFFFF0, 0, 0, 0, 0, 0, 0, 0}}), BadMetafile)
        << "text outside the record";
    EXPECT_EQ(bad({ExtSelectClipRgn, {48, RgnCopy, 32, 1, 0x10000000, 16, 0, 0, 1, 1}}), BadMetafile)
        << "more rectangles than the region holds";
    EXPECT_EQ(bad({StretchDiBits, {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 80, 40, 0xFFFFFF00, 16, 0, 0x00CC0020, 4, 4}}),
              BadMetafile)
        << "bits outside the record";
    EXPECT_EQ(bad({SaveDc, {}}), "");
    // Numbers at the ends of their range are no damage, and no overflow (under the sanitizers).
    TEmfRecord font{ExtCreateFontIndirectW, {1, 0x80000000, 0, 0x80000000, 0, 0x7FFFFFFF, 0, 0, 'A'}};
    font.Params.resize(1 + 7 + 16, 0);
    TEmfRecord text{ExtTextOutW, {0, 0, 0, 0, 1, 0, 0, 0x7FFFFFFF, 0x80000000, 1, 76, 0, 0, 0, 0, 0, 0, 'A'}};
    EXPECT_EQ(LoadError(Emf(100, 50, {font, Select(1), text, {SaveDc, {}}, {RestoreDc, {0x80000000}}})), "");
}
