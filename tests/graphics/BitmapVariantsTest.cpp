// Bitmaps SDL refuses that the old platform drew: bit-field masks of any shape and palette
// indices past the palette.
#include "PictureFiles.h"

#include "platform/graphics/GraphicFormats.h"

#include <gtest/gtest.h>

using namespace PictureFiles;

namespace {

constexpr TColor Backdrop = 0x444444;

std::vector<uint32_t> Shown(const std::string& bitmap) { return LoadGraphic("bmp", bitmap, Backdrop)->Render().Pixels; }

bool Refused(const std::string& bitmap)
{
    try {
        LoadGraphic("bmp", bitmap, Backdrop);
        return false;
    } catch (const EInvalidGraphic&) {
        return true;
    }
}

// Pixels of channels `r`, `g`, `b` placed by the masks' shifts.
uint32_t Pack(uint32_t r, int rShift, uint32_t g, int gShift, uint32_t b, int bShift)
{
    return r << rShift | g << gShift | b << bShift;
}

}  // namespace

TEST(BitmapPicture, BitfieldMasksSdlHasNoFormatForWidenAsItsOwnFormatsDo)
{
    // 5-5-5 in an order SDL has no format for shows as the same values in the order it has.
    std::vector<uint32_t> usual, unusual;
    for (uint32_t v = 0; v < 32; ++v) {
        usual.push_back(Pack(v, 10, 31 - v, 5, v * 7 % 32, 0));
        unusual.push_back(Pack(v, 0, 31 - v, 10, v * 7 % 32, 5));
    }
    EXPECT_EQ(Shown(BitfieldBitmap(32, 1, 16, {0x001F, 0x7C00, 0x03E0}, unusual)),
              Shown(BitfieldBitmap(32, 1, 16, {0x7C00, 0x03E0, 0x001F}, usual)));
    // Ten bits a channel keep their top eight, as SDL's own 2-10-10-10 does.
    usual.clear();
    unusual.clear();
    for (uint32_t v = 0; v < 1024; v += 13) {
        usual.push_back(Pack(v, 20, 1023 - v, 10, v * 7 % 1024, 0));
        unusual.push_back(Pack(v, 0, 1023 - v, 20, v * 7 % 1024, 10));
    }
    int width = static_cast<int>(usual.size());
    EXPECT_EQ(Shown(BitfieldBitmap(width, 1, 32, {0x3FF, 0x3FF00000, 0xFFC00, 0xC0000000}, unusual, 56)),
              Shown(BitfieldBitmap(width, 1, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, usual, 56)));

    // Two, three and one bits scale to the full range; a missing channel is 0.
    EXPECT_EQ(Shown(BitfieldBitmap(2, 1, 16, {0x30, 0x0E, 0x01}, {Pack(1, 4, 5, 1, 1, 0), 0x3F})),
              (std::vector<uint32_t>{0x55B6FF, 0xFFFFFF}));
    EXPECT_EQ(Shown(BitfieldBitmap(1, 1, 16, {0xFF00, 0x00FF, 0}, {0x12AB})), std::vector<uint32_t>{0x12AB00});
    // 7-18-7 in a version 5 header, stored top-down: 18 bits keep their top eight.
    std::vector<uint32_t> tall{Pack(127, 25, 0x81 << 10 | 0x3FF, 7, 1, 0), 0};
    EXPECT_EQ(Shown(BitfieldBitmap(1, 2, 32, {0xFE000000, 0x01FFFF80, 0x7F}, tall, 124, true)),
              (std::vector<uint32_t>{0xFF8102, 0}));
    // An alpha mask is ignored, as a plain blit ignores it.
    EXPECT_EQ(Shown(BitfieldBitmap(3, 1, 32, {0xFF, 0xFF00, 0xFF000000, 0xFF0000}, {0x12003456, 0x12803456, 0x12FF3456},
                                   124)),
              (std::vector<uint32_t>(3, 0x563412)));
}

TEST(BitmapPicture, AlphaBitfieldsBitmapsGoByTheirOwnMasks)
{
    std::string bitmap = BitfieldBitmap(2, 1, 32, {0xFF00, 0xFF0000, 0xFF, 0xFF000000}, {0x80123456, 0x00ABCDEF}, 56);
    bitmap[30] = 6;  // BI_ALPHABITFIELDS: the same masks, the alpha mask among them
    EXPECT_EQ(Shown(bitmap), (std::vector<uint32_t>{0x341256, 0xCDABEF}));
}

TEST(BitmapPicture, BitfieldMasksThatOverlapOrHaveGapsAreRefused)
{
    std::vector<uint32_t> pixels{0x1234, 0x5678};
    EXPECT_TRUE(Refused(BitfieldBitmap(2, 1, 16, {0x7C00, 0x07E0, 0x001F}, pixels)));    // red and green overlap
    EXPECT_TRUE(Refused(BitfieldBitmap(2, 1, 16, {0x7C00, 0x03E0, 0x0015}, pixels)));    // gaps in blue
    EXPECT_TRUE(Refused(BitfieldBitmap(2, 1, 16, {0x1F0000, 0x03E0, 0x001F}, pixels)));  // past 16 bits
    std::string cut = BitfieldBitmap(2, 1, 32, {0xFF, 0xFF00, 0xFF000000}, pixels);
    EXPECT_FALSE(Refused(cut));
    EXPECT_TRUE(Refused(cut.substr(0, cut.size() - 1)));  // the pixels cut short
}

TEST(BitmapPicture, PaletteIndicesPastThePaletteDrawBlack)
{
    // Two colours for eight bits a pixel, with unused bytes between the palette and the pixels.
    EXPECT_EQ(Shown(PaletteBitmap(4, 1, 8, {0xFF0000, 0x00FF00}, {0, 1, 2, 255}, 6)),
              (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0, 0}));
    EXPECT_EQ(Shown(PaletteBitmap(2, 2, 4, {0x123456, 0x0000FF, 0xFFFFFF}, {2, 3, 15, 1})),
              (std::vector<uint32_t>{0xFFFFFF, 0, 0, 0x0000FF}));
    EXPECT_EQ(Shown(PaletteBitmap(2, 1, 1, {0xABCDEF}, {1, 0})), (std::vector<uint32_t>{0, 0xABCDEF}));
    // Pixels said to begin inside the palette are read from there.
    std::string early = PaletteBitmap(4, 1, 8, {0x000001, 0xFF0000}, {0, 0, 0, 0});
    early[10] = 14 + 40 + 4;  // the second colour's bytes: 0, 0, 0xFF, 0
    EXPECT_EQ(Shown(early), (std::vector<uint32_t>{0x000001, 0x000001, 0, 0x000001}));
}
