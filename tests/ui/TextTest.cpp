// Caption text: lines, tabs, "&" underlines, centring and clipping, drawn in one-bit pixels.
#include "UiFixture.h"

#include "platform/ShiftJis.h"
#include "platform/sdl/LabelText.h"

namespace {

std::string S(const std::string& utf8) { return Sjis::FromUtf8(utf8); }

class TextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Surface = SDL_CreateRGBSurfaceWithFormat(0, 200, 40, 32, SDL_PIXELFORMAT_XRGB8888);
        SDL_FillRect(Surface, nullptr, 0);
    }
    void TearDown() override { SDL_FreeSurface(Surface); }

    void Draw(const std::string& sjis, TAlignment alignment = TAlignment::LeftJustify, SDL_Rect box = {0, 0, 200, 40},
              SDL_Rect clip = {0, 0, 200, 40})
    {
        Painter.Draw(Surface, box, clip, Font, alignment, sjis);
    }
    TRgbImage Pixels() const { return ReadSurface(Surface); }
    // Columns [first, last] that hold a white pixel within rows [top, bottom]; -1 when none.
    std::pair<int, int> InkColumns(int top, int bottom) const
    {
        TRgbImage image = Pixels();
        int first = -1, last = -1;
        for (int x = 0; x < image.Width; ++x)
            for (int y = top; y <= bottom; ++y)
                if (image.Pixels[size_t(y * image.Width + x)] == 0xFFFFFF) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        return {first, last};
    }

    TFontCache Fonts;
    TTextPainter Painter{Fonts};
    TFont Font{0xFFFFFF, 12, false};
    SDL_Surface* Surface = nullptr;
};

}  // namespace

TEST(CaptionParse, AmpersandsLinesAndTabs)
{
    auto lines = ParseCaption("a&&b&cd&");
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 1u);
    EXPECT_EQ(lines[0][0].Sjis, "a&bcd");  // "&&" is one "&", a final lone "&" nothing
    EXPECT_EQ(lines[0][0].Underlined, std::vector<size_t>{3});

    // A double-byte character after "&" is underlined whole; its trail byte is never a marker.
    lines = ParseCaption(S("&表示"));
    EXPECT_EQ(lines[0][0].Sjis, S("表示"));
    EXPECT_EQ(lines[0][0].Underlined, std::vector<size_t>{0});

    lines = ParseCaption("one\r\ntwo\nthree\r\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1][0].Sjis, "two");
    EXPECT_EQ(lines[2][0].Sjis, "three");
    EXPECT_TRUE(lines[3].empty());

    lines = ParseCaption("a\tb");
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_TRUE(lines[0][1].Tab);

    // Message boxes show "&" as it is.
    EXPECT_EQ(ParseCaption("R&D", false)[0][0].Sjis, "R&D");
}

TEST_F(TextTest, FacesHaveTheStatedPixelHeights)
{
    // The face opened without asking fontconfig is the very file fontconfig gives for its name.
    EXPECT_EQ(Fonts.FilePath(), MatchFontFile("IPAPGothic"));
    EXPECT_EQ(TTF_FontHeight(Fonts.Get(12, false)), 12);
    EXPECT_EQ(TTF_FontHeight(Fonts.Get(13, false)), 13);
    EXPECT_EQ(TTF_FontHeight(Fonts.Get(12, true)), 12);
}

TEST_F(TextTest, LinesAreOneFontHeightApartAndDrawnInOneBit)
{
    Draw(S("上\r\n下"));
    for (uint32_t pixel : Pixels().Pixels)
        ASSERT_TRUE(pixel == 0 || pixel == 0xFFFFFF);
    EXPECT_GE(InkColumns(0, 11).first, 0);
    EXPECT_GE(InkColumns(12, 23).first, 0);
    EXPECT_EQ(InkColumns(24, 39).first, -1);
}

TEST_F(TextTest, AmpersandUnderlinesOnlyTheNextCharacter)
{
    Draw("AB");
    TRgbImage plain = Pixels();
    SDL_FillRect(Surface, nullptr, 0);
    Draw("A&B");
    TRgbImage marked = Pixels();
    int width = 0, height = 0;
    TTF_SizeUTF8(Fonts.Get(12, false), "A", &width, &height);
    int changedLeft = 1000, changedRight = -1;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 200; ++x)
            if (plain.Pixels[size_t(y * 200 + x)] != marked.Pixels[size_t(y * 200 + x)]) {
                changedLeft = std::min(changedLeft, x);
                changedRight = std::max(changedRight, x);
            }
    EXPECT_GE(changedLeft, width);  // nothing under the A
    EXPECT_GT(changedRight, changedLeft);
}

TEST_F(TextTest, TabsGoToStopsEveryEightAverageCharacterWidths)
{
    Draw("i\tW");
    int stop = 8 * Fonts.AverageCharWidth(12, false);
    auto [first, last] = InkColumns(0, 11);
    ASSERT_GE(first, 0);
    EXPECT_LT(first, stop);  // the "i"
    // Nothing between the "i" and the stop, then the "W" from the stop on.
    TRgbImage image = Pixels();
    int afterI = -1;
    for (int x = first + 4; x < 200 && afterI < 0; ++x)
        for (int y = 0; y < 12; ++y)
            if (image.Pixels[size_t(y * 200 + x)] == 0xFFFFFF)
                afterI = x;
    EXPECT_GE(afterI, stop);
    EXPECT_LE(afterI, stop + 2);
    EXPECT_GT(last, stop);
}

TEST_F(TextTest, CentredLinesAreCentredEachOnItsOwn)
{
    Draw(S("あ\r\nああああ"), TAlignment::Center, {0, 0, 100, 40});
    auto [first1, last1] = InkColumns(0, 11);
    auto [first2, last2] = InkColumns(12, 23);
    EXPECT_NEAR(first1 + last1, 100, 3);
    EXPECT_NEAR(first2 + last2, 100, 3);
    EXPECT_LT(first2, first1 - 10);
}

TEST_F(TextTest, TextBeyondTheBoxIsCutNotWrapped)
{
    Draw(S("とても長い行がここから先もずっと続いていく"), TAlignment::LeftJustify, {10, 5, 60, 13}, {10, 5, 60, 13});
    TRgbImage image = Pixels();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            if (x < 10 || x >= 70 || y < 5 || y >= 18) {
                ASSERT_EQ(image.Pixels[size_t(y * 200 + x)], 0u) << x << "," << y;
            }
    EXPECT_GT(InkColumns(5, 17).second, 60);
}

TEST_F(TextTest, PaintingCostsWhatShowsNotWhatIsCutOff)
{
    // A label at its widest, 148 pixels; the work of a paint is the text it hands the font.
    const auto paint = [&](const std::string& caption, TAlignment alignment) {
        SDL_FillRect(Surface, nullptr, 0);
        const size_t before = Painter.FontWork();
        Draw(caption, alignment, {0, 0, 148, 40});
        return Painter.FontWork() - before;
    };
    std::string underlined, plain, lines;
    for (int i = 0; i < 20'000; ++i) {
        underlined += "&a";
        plain += "a";
        lines += "a\r\n";
    }
    // The font stops at a zero byte, so nothing after one shows either.
    const std::string stopped = std::string("a\0", 2) + underlined;
    for (const auto& [caption, start] : {std::pair{underlined, underlined.substr(0, 200)},
                                         {plain, plain.substr(0, 100)},
                                         {lines, lines.substr(0, 30)},
                                         {stopped, stopped.substr(0, 200)}}) {
        const size_t startWork = paint(start, TAlignment::LeftJustify);
        const TRgbImage startPixels = Pixels();
        EXPECT_LE(paint(caption, TAlignment::LeftJustify), 4 * startWork) << caption.substr(0, 8);
        EXPECT_EQ(Pixels().Pixels, startPixels.Pixels) << "the same pixels as the start of the text draws";
    }
    // A centred line is placed by its whole width, so all of it is measured, a few times at most.
    EXPECT_LE(paint(underlined, TAlignment::Center), 8 * underlined.size());
    EXPECT_NE(InkColumns(0, 11).first, -1) << "its middle shows";
}

TEST_F(TextTest, TheMiddleOfACentredLineFarWiderThanItsLabelLandsWhereTheWholeLinePutsIt)
{
    // Drawn from near the label, not from the start of the line 150,000 pixels to its left: each
    // character where the short stretch of the same line drawn there puts it.
    std::string line;
    for (int i = 0; i < 20'000; ++i)
        line += "A&b";
    Draw(line, TAlignment::Center, {0, 0, 148, 40});
    const TRgbImage centred = Pixels();
    const int width = Painter.LineWidth(ParseCaption(line)[0], Font);
    const int x = (148 - width) / 2, unit = Painter.LineWidth(ParseCaption("A&b")[0], Font);
    SDL_FillRect(Surface, nullptr, 0);
    const int before = (-x / unit - 2) * unit;
    Draw(line.substr(0, 3 * 20), TAlignment::LeftJustify, {x + before, 0, 20 * unit, 40}, {0, 0, 148, 40});
    EXPECT_EQ(Pixels().Pixels, centred.Pixels);
}
