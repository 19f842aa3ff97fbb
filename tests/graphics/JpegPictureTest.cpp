#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/JpegGraphic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include <jerror.h>
#include <jpeglib.h>

using namespace PictureFiles;

namespace {

std::string JpegText(int code) { return "JPEG エラー #" + std::to_string(code); }

// The error text the load of `file` raises, "" when it loads.
std::string LoadError(const std::string& file)
{
    try {
        TJpegGraphic graphic(file);
        return "";
    } catch (const EInvalidGraphic& e) {
        return Sjis::ToUtf8(e.what());
    }
}

size_t FindMarker(const std::string& jpeg, unsigned char marker, size_t from = 0)
{
    for (size_t i = from; i + 1 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == marker)
            return i;
    return std::string::npos;
}

// Sets the frame header's height and width.
std::string WithSize(std::string jpeg, int width, int height)
{
    size_t sof = FindMarker(jpeg, 0xC0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width);
    return jpeg;
}

int MaxDifference(const TRgbImage& a, const TRgbImage& b)
{
    int most = 0;
    for (size_t i = 0; i < a.Pixels.size() && i < b.Pixels.size(); ++i)
        for (int shift = 0; shift <= 16; shift += 8)
            most = std::max(most, std::abs(int(a.Pixels[i] >> shift & 0xFF) - int(b.Pixels[i] >> shift & 0xFF)));
    return most;
}

}  // namespace

TEST(JpegPicture, TheLibraryTestPicturesDecodeLikeTheReferenceDecoderWithTheFloatIdct)
{
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        SCOPED_TRACE(name);
        std::string file = TestImage(name);
        ASSERT_FALSE(file.empty()) << "test pictures missing";
        TJpegGraphic graphic(file);
        EXPECT_EQ(graphic.Width(), 227);
        EXPECT_EQ(graphic.Height(), 149);
        const TRgbImage& pixels = graphic.Render();
        TRgbImage reference = Djpeg(file);
        ASSERT_EQ(pixels.Pixels.size(), reference.Pixels.size());
        EXPECT_TRUE(pixels.Pixels == reference.Pixels);
    }
    // The shipped reference uses the integer IDCT: close to ours, but not the same.
    TJpegGraphic original(TestImage("testorig.jpg"));
    TRgbImage integer = Djpeg(TestImage("testorig.jpg"), "-dct int");
    EXPECT_FALSE(original.Render().Pixels == integer.Pixels);
    EXPECT_LE(MaxDifference(original.Render(), integer), 4);
}

TEST(JpegPicture, ProgressiveSubsampledAndGreyPicturesMatchTheReferenceDecoder)
{
    TRgbImage source = Gradient(61, 45);  // not a whole number of blocks either way
    std::string progressive = Jpeg(source, false, true, 60);
    TJpegGraphic colour(progressive);
    EXPECT_TRUE(colour.Render().Pixels == Djpeg(progressive).Pixels);

    // Grey pictures are quantised to 236 levels with dithering, as the palette display did.
    std::string grey = Jpeg(source, true, false);
    TJpegGraphic greyGraphic(grey);
    const TRgbImage& pixels = greyGraphic.Render();
    EXPECT_TRUE(pixels.Pixels == Djpeg(grey, "-colors 236").Pixels);
    std::set<uint32_t> levels(pixels.Pixels.begin(), pixels.Pixels.end());
    EXPECT_LE(levels.size(), 236u);
    for (uint32_t p : levels)
        EXPECT_EQ(p, (p & 0xFF) * 0x010101) << "grey stays grey";
}

TEST(JpegPicture, DamagedHeadersRaiseTheLibraryMessageNumberAtLoad)
{
    std::string good = Jpeg(Gradient(40, 30), false, false);
    EXPECT_EQ(LoadError(good), "");
    EXPECT_EQ(LoadError(""), JpegText(JERR_INPUT_EMPTY));
    EXPECT_EQ(LoadError(good.substr(0, 60)), JpegText(JERR_NO_IMAGE));
    EXPECT_EQ(LoadError(std::string(500, '\x5A')), JpegText(JERR_NO_SOI));
    EXPECT_EQ(LoadError(TestImage("monkey12.jpg")), JpegText(JERR_BAD_PRECISION));
    EXPECT_EQ(LoadError(WithSize(good, 0, 30)), JpegText(JERR_EMPTY_IMAGE));
    EXPECT_EQ(LoadError(WithSize(good, 65535, 30)), JpegText(JERR_IMAGE_TOO_BIG));
    // Within the library's limits but far beyond any picture worth holding: refused before any
    // pixel is allocated.
    EXPECT_EQ(LoadError(WithSize(good, 60000, 60000)), JpegText(JERR_IMAGE_TOO_BIG));
    TJpegGraphic wide(WithSize(good, 8192, 30));
    EXPECT_EQ(wide.Width(), 8192);
}

TEST(JpegPicture, ABodyErrorIsRaisedByTheFirstPaintOnlyAndLeavesUndecodedRowsBlack)
{
    std::string file = Jpeg(Gradient(48, 32), false, true);
    // The second scan asks for coefficients past the end of a block: a fatal error that only
    // decoding meets, since loading reads no further than the first scan.
    size_t second = FindMarker(file, 0xDA, FindMarker(file, 0xDA) + 2);
    ASSERT_NE(second, std::string::npos);
    size_t components = static_cast<unsigned char>(file[second + 4]);
    file[second + 5 + 2 * components + 1] = 0x7F;  // Se

    TJpegGraphic graphic(file);
    EXPECT_EQ(graphic.Width(), 48);
    EXPECT_EQ(graphic.Height(), 32);
    try {
        graphic.Render();
        ADD_FAILURE() << "the first paint reports the damage";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(Sjis::ToUtf8(e.what()), JpegText(JERR_BAD_PROGRESSION));
    }
    const TRgbImage* again = nullptr;
    EXPECT_NO_THROW(again = &graphic.Render());
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->Pixels.size(), 48u * 32u);
    EXPECT_EQ(again->Pixels[0], 0u);
    EXPECT_EQ(again->Pixels.back(), 0u);
}

TEST(JpegPicture, AProgressivePictureOfEndlessScansFailsAtItsFirstPaint)
{
    std::string file = Jpeg(Gradient(64, 64), false, true);
    // Its last scan again and again: each copy only warns, and costs a pass over the picture.
    const size_t last = file.rfind("\xFF\xDA");
    const size_t end = file.rfind("\xFF\xD9");
    const std::string scan = file.substr(last, end - last);
    std::string copies;
    for (int i = 0; i < 600; ++i)
        copies += scan;
    file.insert(end, copies);
    TJpegGraphic graphic(file);
    try {
        graphic.Render();
        ADD_FAILURE() << "a picture of 600 scans is damaged";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(Sjis::ToUtf8(e.what()), JpegText(JERR_BAD_PROGRESSION));
    }
}

TEST(JpegPicture, ABodyCutShortOnlyWarnsAndShowsWhatItHas)
{
    TRgbImage source = Gradient(64, 64);
    std::string whole = Jpeg(source, false, false);
    TJpegGraphic full(whole);
    TJpegGraphic cut(whole.substr(0, whole.size() * 2 / 3));
    const TRgbImage* pixels = nullptr;
    EXPECT_NO_THROW(pixels = &cut.Render());
    ASSERT_NE(pixels, nullptr);
    const TRgbImage& reference = full.Render();
    for (size_t i = 0; i < 64 * 8; ++i)
        ASSERT_EQ(pixels->Pixels[i], reference.Pixels[i]) << "the first rows decode as usual";
}
