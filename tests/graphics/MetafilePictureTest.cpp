#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/GraphicFormats.h"
#include "platform/graphics/SharedLibrary.h"

#include <gtest/gtest.h>

#include <random>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;
const std::string BadMetafile = "メタファイルが無効です";

// GDI record functions and a COLORREF split into its two parameter words.
enum : uint16_t {
    SetBkMode = 0x0102,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SelectObject = 0x012D,
    CreatePen = 0x02FA,
    CreateFont = 0x02FB,
    CreateBrush = 0x02FC,
    Rectangle = 0x041B,
    Ellipse = 0x0418,
    Polygon = 0x0324,
    Polyline = 0x0325,
    TextOut = 0x0521,
    DeleteObject = 0x01F0,
    SaveDc = 0x001E,
    RestoreDc = 0x0127,
    SetBkColor = 0x0201,
    MoveTo = 0x0214,
    LineTo = 0x0213,
    ExtTextOut = 0x0A32,
    PatBlt = 0x061D,
    SetDibToDev = 0x0D33,
    IntersectClipRect = 0x0416,
    ExcludeClipRect = 0x0415,
    SelectClipRgn = 0x012C,
    CreateRegion = 0x06FF,
};
constexpr int PatCopy[] = {0x0021, 0x00F0};
std::vector<int> Colour(TColor rgb) { return {int((rgb >> 16) | (rgb & 0xFF00)), int(rgb & 0xFF)}; }
TWmfRecord Brush(TColor rgb) { return {CreateBrush, {0, Colour(rgb)[0], Colour(rgb)[1], 0}}; }
TWmfRecord Pen(TColor rgb) { return {CreatePen, {0, 1, 0, Colour(rgb)[0], Colour(rgb)[1]}}; }
TWmfRecord Box(uint16_t function, int l, int t, int r, int b) { return {function, {b, r, t, l}}; }
TWmfRecord HatchBrush(int hatch, TColor rgb) { return {CreateBrush, {2, Colour(rgb)[0], Colour(rgb)[1], hatch}}; }
TWmfRecord StyledPen(int style, int width, TColor rgb)
{
    return {CreatePen, {style, width, 0, Colour(rgb)[0], Colour(rgb)[1]}};
}
TWmfRecord FillBox(int x, int y, int w, int h) { return {PatBlt, {PatCopy[0], PatCopy[1], h, w, y, x}}; }
// A packed bitmap (info header, bits) as record parameter words.
std::vector<int> DibWords(const TRgbImage& image)
{
    std::string dib = Bitmap(image).substr(14);
    std::vector<int> words;
    for (size_t i = 0; i < dib.size(); i += 2)
        words.push_back(static_cast<unsigned char>(dib[i]) | static_cast<unsigned char>(dib[i + 1]) << 8);
    return words;
}

TPicture Load(const std::string& extension, const std::string& file)
{
    return {LoadGraphic(extension, file, Backdrop)};
}

std::string LoadError(const std::string& extension, const std::string& file)
{
    try {
        LoadGraphic(extension, file, Backdrop);
        return "";
    } catch (const EInvalidGraphic& e) {
        return Sjis::ToUtf8(e.what());
    }
}

std::string SampleWmf()
{
    return Wmf(200, 100, 96, 4,
               {Brush(0xFF0000),
                {SelectObject, {0}},
                Pen(0x0000FF),
                {SelectObject, {1}},
                Box(Rectangle, 10, 10, 60, 40),
                Brush(0x00FF00),
                {SelectObject, {2}},
                Box(Ellipse, 110, 50, 190, 90),
                {Polygon, {3, 10, 90, 50, 90, 30, 60}},
                {CreatePen, {5, 0, 0, 0, 0}},
                {SelectObject, {3}},
                Box(Rectangle, 150, 5, 160, 15)});
}

}  // namespace

TEST(WindowsMetafile, DrawsShapesWithPensAndBrushesAtTheDeclaredSize)
{
    TPicture p = Load("wmf", SampleWmf());
    ASSERT_EQ(p.Graphic->Width(), 200);
    ASSERT_EQ(p.Graphic->Height(), 100);
    EXPECT_EQ(p.At(0, 0), Backdrop) << "undrawn parts show what the picture lies on";
    EXPECT_EQ(p.At(10, 10), 0x0000FFu) << "outline on the first pixel";
    EXPECT_EQ(p.At(59, 39), 0x0000FFu) << "and on the last pixel inside right and bottom";
    EXPECT_EQ(p.At(60, 40), Backdrop);
    EXPECT_EQ(p.At(30, 25), 0xFF0000u);
    EXPECT_EQ(p.At(150, 70), 0x00FF00u) << "ellipses are filled";
    EXPECT_EQ(p.At(111, 51), Backdrop) << "outside the ellipse's curve";
    EXPECT_EQ(p.At(150, 50), 0x0000FFu);
    EXPECT_EQ(p.At(30, 80), 0x00FF00u) << "polygon filled with the current brush";
    EXPECT_EQ(p.At(150, 5), 0x00FF00u) << "no outline with the null pen";
    EXPECT_EQ(p.At(158, 13), 0x00FF00u);
    EXPECT_EQ(p.At(159, 14), Backdrop) << "and then a pixel smaller";

    // Logical units are mapped through the placeable header's units per inch.
    TPicture twips = Load("WMF", Wmf(1500, 750, 1440, 0, {}));
    EXPECT_EQ(twips.Graphic->Width(), 100);
    EXPECT_EQ(twips.Graphic->Height(), 50);
}

TEST(WindowsMetafile, TheWindowMapsOntoThePictureAndObjectSlotsAreReused)
{
    TPicture p = Load("wmf", Wmf(200, 100, 96, 1,
                                 {{SetWindowOrg, {0, 0}},
                                  {SetWindowExt, {500, 1000}},
                                  Brush(0xFF0000),
                                  {SelectObject, {0}},
                                  {DeleteObject, {0}},
                                  Brush(0x00FF00),
                                  {SelectObject, {0}},  // the freed slot again
                                  Box(Rectangle, 0, 0, 500, 250)}));
    EXPECT_EQ(p.At(50, 25), 0x00FF00u);
    EXPECT_EQ(p.At(98, 48), 0x00FF00u);
    EXPECT_EQ(p.At(101, 51), Backdrop);
}

TEST(WindowsMetafile, ShiftJisTextIsDrawnInTheTextColour)
{
    std::vector<int> font{-24, 0, 0, 0, 400, 0, 0x8000, 0};  // height -24, SHIFTJIS_CHARSET
    font.resize(9 + 16, 0);
    TPicture p = Load("wmf", Wmf(100, 40, 96, 1,
                                 {{CreateFont, font},
                                  {SelectObject, {0}},
                                  {SetTextColor, Colour(0xFF00FF)},
                                  {SetBkMode, {1}},
                                  {TextOut, WmfTextOut(4, 4, Sjis::FromUtf8("表示"))},
                                  {Polyline, {2, 60, 35, 95, 35}}}));
    int inside = p.Count(0xFF00FF, 4, 4, 52, 30);
    EXPECT_GT(inside, 40) << "two Japanese characters drawn";
    EXPECT_EQ(p.Count(0xFF00FF, 60, 0, 100, 40), 0);
    EXPECT_EQ(p.Count(0xFFFFFF, 0, 0, 100, 40), 0) << "transparent background mode";
    EXPECT_EQ(p.Count(0x000000, 60, 35, 96, 36), 35) << "the line after the text";
    EXPECT_EQ(p.Count(0x000000, 0, 0, 100, 35), 0) << "starts where it says, not where the text ended";
}

TEST(WindowsMetafile, BitmapsAreStretchedIntoTheirBox)
{
    // 2 x 2: red, green over blue, white; stored bottom-up.
    std::string dib = Bitmap(TRgbImage{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}}).substr(14);
    std::vector<int> stretch{0x0020, 0x00CC, 0,  2,  2, 0,
                             0,      20,     20, 10, 10};  // SRCCOPY, whole bitmap to 20 x 20 at 10,10
    for (size_t i = 0; i < dib.size(); i += 2)
        stretch.push_back(static_cast<unsigned char>(dib[i]) | static_cast<unsigned char>(dib[i + 1]) << 8);
    TPicture p = Load("wmf", Wmf(40, 40, 96, 0, {{0x0F43, stretch}}));
    EXPECT_EQ(p.At(10, 10), 0xFF0000u);
    EXPECT_EQ(p.At(29, 10), 0x00FF00u);
    EXPECT_EQ(p.At(10, 29), 0x0000FFu);
    EXPECT_EQ(p.At(29, 29), 0xFFFFFFu);
    EXPECT_EQ(p.At(30, 30), Backdrop);
    EXPECT_EQ(p.At(9, 9), Backdrop);
}

TEST(WindowsMetafile, PatternFillsUseSolidAndHatchedBrushesAsGdiDrawsThem)
{
    // GDI's six 8 x 8 hatches, HS_HORIZONTAL to HS_DIAGCROSS.
    const char* hatches[6][8] = {
        {"........", "........", "........", "........", "........", "........", "........", "########"},
        {"....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#..."},
        {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.", ".......#"},
        {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......", "#......."},
        {"....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "....#...", "########"},
        {"#......#", ".#....#.", "..#..#..", "...##...", "...##...", "..#..#..", ".#....#.", "#......#"},
    };
    // A blue background; then each hatch in red over a yellow background colour, once opaque
    // (top row of cells) and once transparent (bottom row).
    std::vector<TWmfRecord> records{
        Brush(0x0000FF), {SelectObject, {0}}, FillBox(0, 0, 56, 16), {SetBkColor, Colour(0xFFFF00)}};
    for (int hatch = 0; hatch < 6; ++hatch) {
        for (const TWmfRecord& r :
             {HatchBrush(hatch, 0xFF0000), TWmfRecord{SelectObject, {1}}, FillBox(8 * hatch, 0, 8, 8),
              TWmfRecord{SetBkMode, {1}}, FillBox(8 * hatch, 8, 8, 8), TWmfRecord{SetBkMode, {2}},
              TWmfRecord{DeleteObject, {1}}})
            records.push_back(r);
    }
    // Hatches lie on the device's grid whatever the shape: a rectangle at an odd place.
    for (const TWmfRecord& r :
         {HatchBrush(2, 0x00FF00), TWmfRecord{SelectObject, {1}}, TWmfRecord{CreatePen, {5, 0, 0, 0, 0}},
          TWmfRecord{SelectObject, {2}}, Box(Rectangle, 49, 3, 56, 13)})
        records.push_back(r);
    TPicture p = Load("wmf", Wmf(56, 16, 96, 3, records));
    for (int hatch = 0; hatch < 6; ++hatch)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool line = hatches[hatch][y][x] == '#';
                EXPECT_EQ(p.At(8 * hatch + x, y), line ? 0xFF0000u : 0xFFFF00u) << hatch << ": " << x << "," << y;
                EXPECT_EQ(p.At(8 * hatch + x, 8 + y), line ? 0xFF0000u : 0x0000FFu) << hatch << ": " << x << "," << y;
            }
    for (int y = 3; y < 12; ++y)
        for (int x = 49; x < 55; ++x)
            EXPECT_EQ(p.At(x, y), x % 8 == y % 8 ? 0x00FF00u : 0xFFFF00u) << x << "," << y;
}

TEST(WindowsMetafile, SetDibitsToDeviceCopiesPixelsUnscaled)
{
    TRgbImage image{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
    std::vector<int> whole{0, 2, 0, 0, 0, 2, 2, 3, 4};  // colours, 2 scans from 0, source 0,0 2 x 2, at 4,3
    for (int w : DibWords(image))
        whole.push_back(w);
    // The same pixels recorded as the upper band of a bitmap four rows high.
    std::vector<int> band{0, 2, 2, 2, 0, 2, 2, 5, 12};
    std::vector<int> dib = DibWords(image);
    dib[4] = 4;  // the header's height
    for (int w : dib)
        band.push_back(w);
    TPicture p = Load("wmf", Wmf(40, 20, 96, 0,
                                 {{SetDibToDev, whole},
                                  {SetWindowExt, {10, 20}},  // two pixels a unit from here on
                                  {SetDibToDev, band}}));
    for (auto [x, y] : {std::pair{4, 3}, {24, 10}}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(p.At(x, y), 0xFF0000u);
        EXPECT_EQ(p.At(x + 1, y), 0x00FF00u);
        EXPECT_EQ(p.At(x, y + 1), 0x0000FFu);
        EXPECT_EQ(p.At(x + 1, y + 1), 0xFFFFFFu);
        EXPECT_EQ(p.At(x + 2, y + 2), Backdrop) << "one bitmap pixel, one device pixel";
        EXPECT_EQ(p.At(x - 1, y - 1), Backdrop);
    }
}

TEST(WindowsMetafile, ClippingRectanglesAndRegionsAreSavedWithTheDeviceContext)
{
    TPicture p = Load("wmf", Wmf(40, 20, 96, 6,
                                 {Brush(0xFF0000),
                                  {SelectObject, {0}},
                                  {IntersectClipRect, {20, 30, 0, 10}},
                                  {SaveDc, {}},
                                  {ExcludeClipRect, {15, 25, 5, 15}},
                                  FillBox(0, 0, 40, 20),
                                  {RestoreDc, {-1}},
                                  Brush(0x00FF00),
                                  {SelectObject, {1}},
                                  FillBox(18, 8, 4, 4),  // inside the hole again
                                  // A rectangle region of one scan, 0,0 to 5,5, replaces the clipping.
                                  {CreateRegion, {0, 6, 0, 0, 34, 1, 2, 0, 0, 5, 5, 2, 0, 5, 0, 5, 2}},
                                  {SelectClipRgn, {2}},
                                  Brush(0x0000FF),
                                  {SelectObject, {3}},
                                  FillBox(0, 0, 40, 20),
                                  // Selected like any object, a region clips all the same.
                                  {CreateRegion, {0, 6, 0, 0, 34, 1, 2, 35, 15, 40, 20, 2, 15, 20, 35, 40, 2}},
                                  {SelectObject, {4}},
                                  Brush(0xFF00FF),
                                  {SelectObject, {5}},
                                  FillBox(0, 0, 40, 20)}));
    EXPECT_EQ(p.Count(0xFF0000, 10, 0, 30, 20), 20 * 20 - 10 * 10);
    EXPECT_EQ(p.Count(0xFF0000, 15, 5, 25, 15), 0) << "the excluded hole";
    EXPECT_EQ(p.Count(0x00FF00, 0, 0, 40, 20), 16) << "drawn inside the hole once the save is restored";
    EXPECT_EQ(p.Count(0x00FF00, 18, 8, 22, 12), 16);
    EXPECT_EQ(p.Count(0x0000FF, 0, 0, 40, 20), 25);
    EXPECT_EQ(p.Count(0x0000FF, 0, 0, 5, 5), 25);
    EXPECT_EQ(p.Count(0xFF00FF, 0, 0, 40, 20), 25);
    EXPECT_EQ(p.Count(0xFF00FF, 35, 15, 40, 20), 25);
    EXPECT_EQ(p.Count(Backdrop, 30, 0, 40, 20), 200 - 25);
}

TEST(WindowsMetafile, DashedAndDottedPensAreOnePixelWideWithGdisDashes)
{
    struct {
        int Style;
        std::vector<int> Dashes;
    } styles[] = {{1, {18, 6}}, {2, {3, 3}}, {3, {9, 6, 3, 6}}, {4, {9, 3, 3, 3, 3, 3}}};
    std::vector<TWmfRecord> records{{SetBkColor, Colour(0xFFFF00)}};
    int y = 1;
    for (const auto& s : styles) {
        for (const TWmfRecord& r :
             {StyledPen(s.Style, 1, 0xFF0000), TWmfRecord{SelectObject, {0}}, TWmfRecord{MoveTo, {y, 0}},
              TWmfRecord{LineTo, {y, 50}}, TWmfRecord{DeleteObject, {0}}})
            records.push_back(r);
        y += 3;
    }
    for (const TWmfRecord& r : {StyledPen(1, 0, 0xFF0000), TWmfRecord{SelectObject, {0}}, TWmfRecord{SetBkMode, {1}},
                                TWmfRecord{MoveTo, {13, 0}}, TWmfRecord{LineTo, {13, 50}},
                                TWmfRecord{DeleteObject, {0}}, StyledPen(1, 3, 0x00FF00), TWmfRecord{SelectObject, {0}},
                                TWmfRecord{MoveTo, {17, 0}}, TWmfRecord{LineTo, {17, 50}}})
        records.push_back(r);
    TPicture p = Load("wmf", Wmf(60, 20, 96, 1, records));
    y = 1;
    for (const auto& s : styles) {
        std::string want, got;
        for (size_t k = 0; want.size() < 50; k = (k + 1) % s.Dashes.size())
            want += std::string(static_cast<size_t>(s.Dashes[k]), k % 2 ? 'y' : 'R');
        want.resize(50);
        for (int x = 0; x < 51; ++x)
            got += p.At(x, y) == 0xFF0000u ? 'R' : p.At(x, y) == 0xFFFF00u ? 'y' : p.At(x, y) == Backdrop ? '.' : '?';
        EXPECT_EQ(got, want + ".") << "style " << s.Style;
        EXPECT_EQ(p.Count(0xFF0000, 0, y - 1, 60, y) + p.Count(0xFF0000, 0, y + 1, 60, y + 2), 0) << "one pixel wide";
        y += 3;
    }
    EXPECT_EQ(p.Count(0xFF0000, 0, 13, 50, 14), 18 + 18 + 2) << "transparent gaps";
    EXPECT_EQ(p.Count(Backdrop, 0, 13, 50, 14), 6 + 6);
    EXPECT_EQ(p.Count(0x00FF00, 0, 17, 50, 18), 50) << "a wider pen is solid whatever its style";
}

TEST(WindowsMetafile, ExtTextOutPlacesEachCharacterByItsSpacing)
{
    std::vector<int> font{-24, 0, 0, 0, 400, 0, 0x8000, 0};
    font.resize(9 + 16, 0);
    std::string text = Sjis::FromUtf8("表示");
    // At 2,4, no options; the two bytes of the first character take 30 and 10 units.
    std::vector<int> spaced{4, 2, static_cast<int>(text.size()), 0};
    std::vector<int> words = WmfTextOut(0, 0, text);
    spaced.insert(spaced.end(), words.begin() + 1, words.end() - 2);
    for (int dx : {30, 10, 24, 0})
        spaced.push_back(dx);
    TPicture p = Load(
        "wmf", Wmf(90, 32, 96, 1, {{CreateFont, font}, {SelectObject, {0}}, {SetBkMode, {1}}, {ExtTextOut, spaced}}));
    EXPECT_GT(p.Count(0x000000, 2, 0, 28, 32), 40) << "the first character";
    EXPECT_EQ(p.Count(0x000000, 28, 0, 42, 32), 0) << "the room its spacing leaves";
    EXPECT_GT(p.Count(0x000000, 42, 0, 68, 32), 40) << "the second character, 40 units on";
}

TEST(EnhancedMetafile, DrawsItsRecordsOntoTheFrameSize)
{
    std::vector<TEmfRecord> records{{39, {1, 0, 0x0000FF, 0}}, {37, {1}}, {43, {10, 10, 50, 30}},
                                    {39, {2, 0, 0x00FF00, 0}}, {37, {2}}, {42, {60, 5, 96, 45}}};
    std::string emf = Emf(100, 50, records);
    TPicture p = Load("emf", emf);
    ASSERT_EQ(p.Graphic->Width(), 100);
    ASSERT_EQ(p.Graphic->Height(), 50);
    EXPECT_EQ(p.At(30, 20), 0xFF0000u);
    EXPECT_EQ(p.At(78, 25), 0x00FF00u);
    EXPECT_EQ(p.At(5, 45), Backdrop);
    EXPECT_EQ(p.At(61, 6), Backdrop) << "outside the ellipse's curve";
    // The reader goes by the contents: an enhanced metafile named .wmf still shows.
    EXPECT_EQ(Load("wmf", emf).At(30, 20), 0xFF0000u);
    // The header's description, two names never drawn, is not read: one said to start at the
    // file's end, with no length, shows the picture as well.
    std::string described = emf;
    for (int i = 0; i < 4; ++i)
        described[64 + size_t(i)] = static_cast<char>(emf.size() >> (8 * i));
    EXPECT_EQ(Load("emf", described).At(30, 20), 0xFF0000u);

    // Writers declare as bounds only the box of what they drew; the frame places it.
    TEmfBounds drawn{20, 10, 59, 39};
    TPicture inner = Load("emf", Emf(100, 50, {{39, {1, 0, 0x0000FF, 0}}, {37, {1}}, {43, {20, 10, 60, 40}}}, &drawn));
    ASSERT_EQ(inner.Graphic->Width(), 100);
    EXPECT_EQ(inner.At(22, 12), 0xFF0000u);
    EXPECT_EQ(inner.At(57, 37), 0xFF0000u);
    EXPECT_EQ(inner.At(18, 8), Backdrop);
    EXPECT_EQ(inner.At(62, 42), Backdrop);
}

// The library bitmaps and icons are drawn with is opened when the first such picture is shown
// (the tests above draw through it). One that cannot be opened, or lacks a
// function, is the error of the picture that needed it, in words that say what to install, and of
// its own kind, so that a metafile holding a bitmap reports it too; the program goes on.
TEST(PictureLibraries, OneThatCannotBeOpenedIsThePicturesOwnError)
{
    auto errorOf = [](TSharedLibrary& library, const char* function) {
        try {
            library.Function<void (*)()>(function);
            return std::string();
        } catch (const EMissingLibrary& e) {
            return Sjis::ToUtf8(e.what());
        }
    };
    TSharedLibrary absent("librk-absent.so.9", "enhanced metafiles", "librk-absent9");
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string error = errorOf(absent, "emf2svg");
        EXPECT_EQ(error.rfind("cannot draw enhanced metafiles: librk-absent.so.9: ", 0), 0u) << error;
        EXPECT_NE(error.find("(Debian package librk-absent9)"), std::string::npos) << error;
    }
    TSharedLibrary libc("libc.so.6", "enhanced metafiles", "libc6");
    EXPECT_EQ(errorOf(libc, "malloc"), "");
    EXPECT_NE(errorOf(libc, "rsvg_handle_new_from_data").find("rsvg_handle_new_from_data"), std::string::npos);
}

TEST(Metafile, DamagedFilesGiveTheMetafileErrorText)
{
    std::string wmf = SampleWmf();
    std::string checksum = wmf;
    checksum[20] ^= 1;
    std::string overlong = wmf;
    overlong[22 + 18] = 0x70;  // the first record claims more words than the file holds
    std::string empty = wmf;
    empty[22 + 18] = 0;  // a record of no words would never end the walk
    std::string shortRecord = Wmf(200, 100, 96, 0, {{Rectangle, {1, 2}}});
    std::string noPlaceable = wmf.substr(22);
    std::string huge = Wmf(30000, 30000, 1, 0, {});
    std::string noUnits = Wmf(200, 100, 0, 0, {});
    for (const std::string& bad :
         {checksum, overlong, empty, shortRecord, noPlaceable, huge, noUnits, wmf.substr(0, 30), std::string()}) {
        EXPECT_EQ(LoadError("wmf", bad), BadMetafile);
    }

    std::string emf = Emf(100, 50, {{39, {1, 0, 0x0000FF, 0}}, {37, {1}}, {43, {10, 10, 50, 30}}});
    std::string runaway = emf;
    runaway[88 + 4] = 0x7F;  // first record's size beyond the file
    std::string unaligned = emf;
    unaligned[88 + 4] = 23;
    std::string frameless = emf;
    for (size_t i = 24; i < 40; ++i)
        frameless[i] = 0;
    std::string device = emf;
    for (size_t i = 72; i < 80; ++i)
        device[i] = 0;
    for (const std::string& bad :
         {runaway, unaligned, frameless, device, emf.substr(0, emf.size() - 20), emf.substr(0, 60)}) {
        EXPECT_EQ(LoadError("emf", bad), BadMetafile);
    }
}

TEST(Metafile, CutOrScrambledFilesNeverCrashTheReader)
{
    std::mt19937 random(7);
    std::string emf = Emf(100, 50, {{39, {1, 0, 0x0000FF, 0}}, {37, {1}}, {43, {10, 10, 50, 30}}});
    // Clipping, a region, styled pens, hatches, spaced text and a bitmap copied to the device.
    std::vector<int> dib{0, 2, 0, 0, 0, 2, 2, 3, 4};
    for (int w : DibWords(TRgbImage{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}}))
        dib.push_back(w);
    std::string styled = Wmf(100, 50, 96, 3,
                             {{CreateRegion, {0, 6, 0, 0, 34, 1, 2, 0, 0, 50, 40, 2, 0, 40, 0, 50, 2}},
                              {SelectClipRgn, {0}},
                              {ExcludeClipRect, {15, 25, 5, 15}},
                              HatchBrush(5, 0xFF0000),
                              {SelectObject, {1}},
                              StyledPen(3, 0, 0x00FF00),
                              {SelectObject, {2}},
                              Box(Ellipse, 5, 5, 90, 45),
                              {Polyline, {3, 0, 0, 99, 49, 0, 49}},
                              FillBox(60, 0, 40, 50),
                              {SetDibToDev, dib},
                              {ExtTextOut, {4, 2, 2, 0, 'A' | 'B' << 8, 7, 9}}});
    for (const std::string& file : {SampleWmf(), emf, styled}) {
        for (size_t cut = 0; cut < file.size(); ++cut)
            LoadError("wmf", file.substr(0, cut));
        for (int round = 0; round < 300; ++round) {
            std::string scrambled = file;
            for (int k = 0; k < 4; ++k)
                scrambled[random() % scrambled.size()] = static_cast<char>(random());
            std::string error = LoadError("emf", scrambled);
            EXPECT_TRUE(error.empty() || error == BadMetafile) << error;
        }
    }
}
