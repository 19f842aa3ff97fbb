// Metafiles as a hostile story may make them: drawn only where the picture area shows them, and
// refused as damaged past what the player can draw in a moment.
#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/EmfPicture.h"
#include "platform/graphics/GraphicFormats.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;
constexpr PictureArea::TSize Panel{156, 96};

// A COLORREF as its two parameter words.
std::vector<int> Colour(TColor rgb) { return {int((rgb >> 16) | (rgb & 0xFF00)), int(rgb & 0xFF)}; }
TWmfRecord Brush(TColor rgb) { return {0x02FC, {0, Colour(rgb)[0], Colour(rgb)[1], 0}}; }
TWmfRecord Pen(int style, TColor rgb) { return {0x02FA, {style, 1, 0, Colour(rgb)[0], Colour(rgb)[1]}}; }
TWmfRecord Select(int object) { return {0x012D, {object}}; }
TWmfRecord Rectangle(int l, int t, int r, int b) { return {0x041B, {b, r, t, l}}; }
TWmfRecord Ellipse(int l, int t, int r, int b) { return {0x0418, {b, r, t, l}}; }
// META_POLYLINE zigzagging `points` times between two corners.
TWmfRecord Zigzag(int points, int x0, int y0, int x1, int y1)
{
    TWmfRecord r{0x0325, {points}};
    for (int i = 0; i < points; ++i)
        r.Params.insert(r.Params.end(), {i % 2 ? x1 : x0, i % 2 ? y1 : y0});
    return r;
}
// META_STRETCHDIB of a run-length bitmap that declares `width` x `height` pixels in a few bytes.
TWmfRecord RunLengthBitmap(int width, int height)
{
    TBytes dib;
    dib.U32(40).U32(uint32_t(width)).U32(uint32_t(height)).U16(1).U16(8).U32(1).U32(2).U32(0).U32(0).U32(1).U32(0);
    dib.U32(0x00FF00).U16(0x0100);  // one colour; the bits: end of bitmap at once
    TWmfRecord r{0x0F43, {0x0020, 0x00CC, 0, height, width, 0, 0, 96, 156, 0, 0}};
    for (size_t i = 0; i < dib.Data.size(); i += 2)
        r.Params.push_back(static_cast<unsigned char>(dib.Data[i]) | static_cast<unsigned char>(dib.Data[i + 1]) << 8);
    return r;
}

std::string LoadError(const std::string& extension, const std::string& file)
{
    try {
        LoadGraphic(extension, file, Backdrop, Panel);
        return "";
    } catch (const EInvalidGraphic& e) {
        return Sjis::ToUtf8(e.what());
    }
}

double SecondsToLoad(const std::string& extension, const std::string& file, std::shared_ptr<TGraphic>* out = nullptr)
{
    auto start = std::chrono::steady_clock::now();
    std::shared_ptr<TGraphic> graphic = LoadGraphic(extension, file, Backdrop, Panel);
    if (out)
        *out = graphic;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every pixel inside the box [left, right) x [top, bottom) as the whole render has it, every
// other one the backdrop.
void ExpectShownPart(const TRgbImage& shown, const TRgbImage& whole, int left, int top, int right, int bottom)
{
    ASSERT_EQ(shown.Width, whole.Width);
    ASSERT_EQ(shown.Height, whole.Height);
    int wrong = 0, drawnOutside = 0, wholeOutside = 0;
    for (int y = 0; y < whole.Height; ++y)
        for (int x = 0; x < whole.Width; ++x) {
            size_t i = size_t(y) * size_t(whole.Width) + size_t(x);
            bool inside = x >= left && x < right && y >= top && y < bottom;
            wrong += inside && shown.Pixels[i] != whole.Pixels[i];
            drawnOutside += !inside && shown.Pixels[i] != Backdrop;
            wholeOutside += !inside && whole.Pixels[i] != Backdrop;
        }
    EXPECT_EQ(wrong, 0) << "pixels the panel shows that differ from the whole picture's";
    EXPECT_EQ(drawnOutside, 0) << "pixels drawn where the panel cuts the picture off";
    EXPECT_GT(wholeOutside, 0) << "the picture should reach beyond the panel";
}

}  // namespace

TEST(MetafileInPanel, ShowsThePixelsOfTheWholePictureWhereThePanelShowsThem)
{
    // 301 x 203 sits at -72, -53 in the 156 x 96 panel (the halves truncated toward zero).
    std::string dib = Bitmap(TRgbImage{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}}).substr(14);
    TWmfRecord bitmap{0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 41, 37, 30, 60}};  // across the left edge
    for (size_t i = 0; i < dib.size(); i += 2)
        bitmap.Params.push_back(static_cast<unsigned char>(dib[i]) | static_cast<unsigned char>(dib[i + 1]) << 8);
    std::string wmf = Wmf(301, 203, 96, 4,
                          {Brush(0x2080C0),
                           Select(0),
                           Pen(0, 0xFFFF00),
                           Select(1),
                           Ellipse(40, 20, 261, 183),
                           Pen(2, 0xFF0000),
                           Select(2),
                           Zigzag(9, 3, 1, 297, 200),
                           Rectangle(150, 40, 250, 160),
                           {0x0521, WmfTextOut(100, 90, "AB")},
                           {0x02FC, {2, Colour(0x00FF00)[0], Colour(0x00FF00)[1], 5}},  // diagonal cross hatch
                           Select(3),
                           Rectangle(60, 110, 140, 190),
                           bitmap});
    ExpectShownPart(LoadGraphic("wmf", wmf, Backdrop, Panel)->Render(), LoadGraphic("wmf", wmf, Backdrop)->Render(), 72,
                    53, 228, 149);

    std::vector<TEmfRecord> records{{39, {1, 0, 0x0000FF, 0}}, {37, {1}}, {42, {10, 10, 290, 190}},
                                    {39, {2, 0, 0x00FF00, 0}}, {37, {2}}, {43, {100, 30, 200, 170}}};
    std::string emf = Emf(301, 203, records);
    ExpectShownPart(LoadGraphic("emf", emf, Backdrop, Panel)->Render(), LoadGraphic("emf", emf, Backdrop)->Render(), 72,
                    53, 228, 149);
}

TEST(MetafileInPanel, AWholeFrameOfHostileRecordsCostsOnlyWhatThePanelShows)
{
    // 4096 x 4096 with every rectangle covering it: drawn whole, minutes of work.
    std::vector<TWmfRecord> records{Brush(0x0000FF), Select(0)};
    records.insert(records.end(), 5000, Rectangle(0, 0, 4096, 4096));
    std::shared_ptr<TGraphic> picture;
    EXPECT_LT(SecondsToLoad("wmf", Wmf(4096, 4096, 96, 1, records), &picture), 10.0);
    ASSERT_EQ(picture->Width(), 4096);
    const TRgbImage& pixels = picture->Render();
    EXPECT_EQ(pixels.Pixels[size_t(2048) * 4096 + 2048], 0x0000FFu) << "the middle, which the panel shows";
    for (size_t at : {size_t(0), size_t(2048), size_t(4096) * 2048 + 100, size_t(4096) * 4096 - 1})
        EXPECT_EQ(pixels.Pixels[at], Backdrop) << "drawn at " << at << ", where the panel never shows";

    // A dashed pen is stepped pixel by pixel, but only where the panel shows the picture.
    std::string dashes = Wmf(4096, 4096, 96, 1, {Pen(2, 0xFF0000), Select(0), Zigzag(300000, 0, 0, 4095, 0)});
    EXPECT_EQ(LoadError("wmf", dashes), "") << "a million steps, none in the panel, walked";
}

TEST(MetafileBounds, PastTheirBoundsBitmapsAndRecordsFailAsADamagedMetafile)
{
    const std::string damaged = "メタファイルが無効です";
    // Each run-length bitmap declares a whole picture's pixels; eight pictures' worth are decoded.
    std::vector<TWmfRecord> bitmaps(8, RunLengthBitmap(4096, 4096));
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 0, bitmaps)), "");
    bitmaps.push_back(RunLengthBitmap(16, 16));
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 0, bitmaps)), damaged);

    // Styled lines are walked pixel by pixel across the panel: eight million steps are walked.
    std::vector<TWmfRecord> lines{Pen(2, 0xFF0000), Select(0), {0x0214, {0, 0}}};
    for (int i = 0; i < 8 * 1024 * 1024 / 156; ++i)
        lines.push_back({0x0213, {0, i % 2 ? 0 : 156}});  // LineTo, y before x
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, lines)), "");
    lines.push_back({0x0213, {95, 0}});
    lines.push_back({0x0213, {0, 156}});
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, lines)), damaged);

    // Glyphs are rasterised whole: text may cover sixteen pictures, counted in its characters
    // times the square of their height (some 64 pixels here).
    std::vector<int> font{-64, 0, 0, 0, 400, 0, 0x8000, 0};
    font.resize(9 + 16, 0);
    std::string sjis;
    for (int i = 0; i < 10000; ++i)
        sjis += Sjis::FromUtf8("表");
    std::vector<TWmfRecord> text{{0x02FB, font}, Select(0), {0x0521, WmfTextOut(0, 0, sjis)}};
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, text)), "");
    text.insert(text.end(), 6, text.back());
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, text)), damaged);

    // Enhanced metafiles are drawn record by record as the panel shows them, not held whole: many
    // records and megabytes of polygons are no damage.
    EXPECT_EQ(LoadError("emf", Emf(40, 40, std::vector<TEmfRecord>(20000, TEmfRecord{43, {0, 0, 20, 20}}))), "");
    TEmfRecord polygon{86, {0, 0, 39, 39, 400}};
    for (int i = 0; i < 400; ++i)
        polygon.Params.push_back(i % 2 ? 0u : 39u | 39u << 16);
    EXPECT_EQ(LoadError("emf", Emf(40, 40, std::vector<TEmfRecord>((size_t{8} << 20) / 1628, polygon))), "");
}

TEST(MetafileBounds, SavedContextsRegionsAndClippingPastTheirBoundsFailAsADamagedMetafile)
{
    const std::string damaged = "メタファイルが無効です";
    std::vector<TWmfRecord> saves(256, TWmfRecord{0x001E, {}});  // META_SAVEDC
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 0, saves)), "");
    saves.push_back(saves.back());
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 0, saves)), damaged);

    // META_CREATEREGION of one scan of `rects` rectangles.
    auto region = [](int rects) {
        TWmfRecord r{0x06FF, {0, 6, 0, 0, 0, 1, 2 * rects, 0, 0, 156, 96, 2 * rects, 0, 96}};
        for (int i = 0; i < rects; ++i)
            r.Params.insert(r.Params.end(), {i % 155, i % 155 + 1});
        r.Params.push_back(2 * rects);
        return r;
    };
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, {region(4097)})), damaged);
    // Four million clipping rectangles are applied in all.
    std::vector<TWmfRecord> selects{region(4096)};
    selects.insert(selects.end(), 1024, TWmfRecord{0x012C, {0}});  // META_SELECTCLIPREGION
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, selects)), "");
    selects.push_back(selects.back());
    EXPECT_EQ(LoadError("wmf", Wmf(156, 96, 96, 1, selects)), damaged);
}
