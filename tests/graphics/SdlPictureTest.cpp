#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/GraphicFormats.h"

#include <gtest/gtest.h>

#include <random>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;

std::string LoadError(const std::string& extension, const std::string& file)
{
    try {
        LoadGraphic(extension, file, Backdrop);
        return "";
    } catch (const EInvalidGraphic& e) {
        return Sjis::ToUtf8(e.what());
    }
}

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>(random() & 0xFF);
    return s;
}

void PutInt32(std::string& s, size_t at, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
}

}  // namespace

TEST(BitmapPicture, LoadsAtItsSizeWithItsColoursInOrder)
{
    struct {
        const char* Name;
        int Width, Height;
    } shipped[] = {{"vgl_6434_0018a.bmp", 119, 96}, {"vgl_6548_0026a.bmp", 128, 95}, {"shira_bird8.bmp", 192, 144}};
    for (auto& s : shipped) {
        SCOPED_TRACE(s.Name);
        auto graphic = LoadGraphic("bmp", TestImage(s.Name), Backdrop);
        EXPECT_EQ(graphic->Width(), s.Width);
        EXPECT_EQ(graphic->Height(), s.Height);
        EXPECT_EQ(graphic->Render().Pixels.size(), size_t(s.Width * s.Height));
    }
    // Rows are stored bottom-up and padded to four bytes; 3 x 2 exercises both.
    TRgbImage image{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000}};
    auto graphic = LoadGraphic("BMP", Bitmap(image), Backdrop);
    EXPECT_TRUE(graphic->Render().Pixels == image.Pixels);
}

TEST(IconPicture, MaskedPixelsShowTheBackdrop)
{
    auto graphic = LoadGraphic("ico", Icon(2, 2, {0xFFFF0000, 0x00FFFFFF, 0xFF00FF00, 0xFF0000FF}), Backdrop);
    ASSERT_EQ(graphic->Width(), 2);
    ASSERT_EQ(graphic->Height(), 2);
    const auto& p = graphic->Render().Pixels;
    EXPECT_EQ(p[0], 0xFF0000u);
    EXPECT_EQ(p[1], Backdrop);
    EXPECT_EQ(p[2], 0x00FF00u);
    EXPECT_EQ(p[3], 0x0000FFu);
}

TEST(IconPicture, ShowsTheNearestImageItCanDecode)
{
    std::string small = IconImage(2, 2, std::vector<uint32_t>(4, 0xFF0000FF));
    std::string large = IconImage(4, 3, std::vector<uint32_t>(12, 0xFF00FF00));
    std::string png = "\x89PNG\r\n\x1A\n" + std::string(100, 'x');  // later systems' 256 x 256 image
    auto graphic = LoadGraphic("ico", IconFile({small, png, large}), Backdrop);
    EXPECT_EQ(graphic->Width(), 4);
    EXPECT_EQ(graphic->Height(), 3);
    EXPECT_EQ(graphic->Render().Pixels[0], 0x00FF00u);
    EXPECT_EQ(LoadError("ico", IconFile({png})), "アイコンが無効です");
}

TEST(IconPicture, AlphaChannelsBlendOverTheBackdropAndPngImagesShow)
{
    auto over = [](uint32_t argb) {  // what blending by alpha gives over the backdrop
        uint32_t a = argb >> 24, out = 0;
        for (int shift = 0; shift <= 16; shift += 8)
            out |= (((argb >> shift & 0xFF) * a + (Backdrop >> shift & 0xFF) * (255 - a) + 127) / 255) << shift;
        return out;
    };
    // Opaque, half-transparent, fully transparent, a quarter opaque.
    std::vector<uint32_t> argb{0xFFFF0000, 0x8000FF00, 0x000000FF, 0x40FFFFFF};
    const std::vector<bool> none(4, false);
    for (const std::vector<bool>* mask : {static_cast<const std::vector<bool>*>(nullptr), &none}) {
        SCOPED_TRACE(mask ? "transparency in the alpha channel only" : "mask of the fully transparent pixels");
        std::vector<uint32_t> p =
            LoadGraphic("ico", IconFile({IconImage(2, 2, argb, mask)}), Backdrop)->Render().Pixels;
        EXPECT_EQ(p[0], 0xFF0000u);
        EXPECT_EQ(p[1], over(argb[1]));
        EXPECT_EQ(p[2], Backdrop);
        EXPECT_EQ(p[3], over(argb[3]));
    }
    // An alpha channel of all zeros carries nothing: the mask alone decides (a masked colour is
    // XORed onto the backdrop, see MaskedColoursAreXoredOntoTheBackdrop).
    std::vector<bool> second{false, true, true, false};
    std::vector<uint32_t> noAlpha =
        LoadGraphic("ico", IconFile({IconImage(2, 2, {0xFF0000, 0x000000, 0x0000FF, 0x123456}, &second)}), Backdrop)
            ->Render()
            .Pixels;
    EXPECT_EQ(noAlpha, (std::vector<uint32_t>{0xFF0000, Backdrop, Backdrop ^ 0x0000FF, 0x123456}));

    // A PNG image, the largest, blends by its alpha; without the bitmap sizes it shows all the same.
    std::vector<uint32_t> large(9, 0xFF00FF00);
    large[4] = 0x80FF0000;
    large[8] = 0x00000000;
    std::string png = Png(3, 3, large);
    for (const std::string& icon : {IconFile({IconImage(2, 2, argb), png}), IconFile({png})}) {
        auto graphic = LoadGraphic("ico", icon, Backdrop);
        ASSERT_EQ(graphic->Width(), 3);
        const auto& p = graphic->Render().Pixels;
        EXPECT_EQ(p[0], 0x00FF00u);
        EXPECT_EQ(p[4], over(large[4]));
        EXPECT_EQ(p[8], Backdrop);
    }
    // A damaged PNG leaves the bitmap sizes to show.
    std::string damaged = png.substr(0, 40);
    EXPECT_EQ(LoadGraphic("ico", IconFile({IconImage(2, 2, argb), damaged}), Backdrop)->Width(), 2);
    EXPECT_EQ(LoadError("ico", IconFile({damaged})), "アイコンが無効です");
}

TEST(IconPicture, ShowsThe32x32ImageOfMostColoursOrElseTheNearestSize)
{
    auto image = [](int side, uint32_t argb) {
        return IconImage(side, side, std::vector<uint32_t>(size_t(side * side), argb));
    };
    auto shown = [](const std::vector<std::string>& images) {
        auto graphic = LoadGraphic("ico", IconFile(images), Backdrop);
        return std::vector<uint32_t>{uint32_t(graphic->Width()), uint32_t(graphic->Height()),
                                     graphic->Render().Pixels[0]};
    };
    std::vector<uint32_t> red(64 * 64, 0xFFFF0000);
    std::string palette32 =
        PaletteIconImage(32, 32, 8, {0x0000FF}, std::vector<uint8_t>(32 * 32, 0), std::vector<bool>(32 * 32, false));
    EXPECT_EQ(shown({image(16, 0xFFFF0000), palette32, image(32, 0xFF00FF00), image(48, 0xFFFF0000), Png(64, 64, red)}),
              (std::vector<uint32_t>{32, 32, 0x00FF00}));
    // With no 32 x 32 image: 24 and 40 are as near, the larger shows.
    EXPECT_EQ(shown({image(24, 0xFFFF0000), image(40, 0xFF00FF00), image(16, 0xFFFF0000)}),
              (std::vector<uint32_t>{40, 40, 0x00FF00}));
    // A PNG image is a candidate like any other.
    std::vector<uint32_t> green(32 * 32, 0xFF00FF00);
    EXPECT_EQ(shown({image(48, 0xFFFF0000), Png(32, 32, green)}), (std::vector<uint32_t>{32, 32, 0x00FF00}));
}

TEST(IconPicture, MaskedColoursAreXoredOntoTheBackdrop)
{
    // Where the mask is set a black colour lets the backdrop through and a white one inverts it;
    // a palette's reserved byte (0xFF here, as some editors write it) changes nothing.
    std::vector<bool> masked{true, true, false, false};
    std::string mono = PaletteIconImage(2, 2, 1, {0x00000000, 0xFFFFFFFF}, {1, 0, 1, 0}, masked);
    EXPECT_EQ(LoadGraphic("ico", IconFile({mono}), Backdrop)->Render().Pixels,
              (std::vector<uint32_t>{0xBBBBBB, Backdrop, 0xFFFFFF, 0x000000}));
    std::string colour = PaletteIconImage(2, 2, 8, {0x0000FF, 0x00FF00}, {0, 1, 0, 1}, masked);
    EXPECT_EQ(LoadGraphic("ico", IconFile({colour}), Backdrop)->Render().Pixels,
              (std::vector<uint32_t>{Backdrop ^ 0x0000FF, Backdrop ^ 0x00FF00, 0x0000FF, 0x00FF00}));
}

TEST(IconPicture, PaletteIndicesPastThePaletteDrawBlack)
{
    std::string image = PaletteIconImage(4, 1, 4, {0xFF0000, 0x00FF00}, {0, 1, 5, 15}, std::vector<bool>(4, false));
    EXPECT_EQ(LoadGraphic("ico", IconFile({image}), Backdrop)->Render().Pixels,
              (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0, 0}));
}

TEST(BitmapAndIconPicture, DamagedFilesGiveTheirFormatsErrorText)
{
    const std::string badBitmap = "ビットマップが無効です", badIcon = "アイコンが無効です";
    std::string bitmap = Bitmap(Gradient(20, 10));
    EXPECT_EQ(LoadError("bmp", ""), badBitmap);
    EXPECT_EQ(LoadError("bmp", bitmap.substr(0, 40)), badBitmap);
    EXPECT_EQ(LoadError("bmp", RandomBytes(300, 1)), badBitmap);
    std::string huge = bitmap;
    PutInt32(huge, 18, 100000);
    PutInt32(huge, 22, 100000);
    EXPECT_EQ(LoadError("bmp", huge), badBitmap);
    std::string negative = bitmap;
    PutInt32(negative, 18, -20);
    EXPECT_EQ(LoadError("bmp", negative), badBitmap);
    std::string depth = bitmap;
    depth[28] = 7;  // no such bit depth
    EXPECT_EQ(LoadError("bmp", depth), badBitmap);

    std::string icon = Icon(2, 2, {0, 0, 0, 0});
    EXPECT_EQ(LoadError("ico", icon.substr(0, 30)), badIcon);
    EXPECT_EQ(LoadError("ico", RandomBytes(300, 2)), badIcon);
    EXPECT_EQ(LoadError("ico", bitmap), badIcon);
    std::string offset = icon;
    PutInt32(offset, 18, 0x7FFFFFF0);  // image data beyond the file
    EXPECT_EQ(LoadError("ico", offset), badIcon);
}
