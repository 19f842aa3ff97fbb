#include "PictureFiles.h"

#include "platform/ShiftJis.h"
#include "platform/graphics/GraphicFormats.h"
#include "platform/graphics/MetafileFonts.h"

#include <gtest/gtest.h>

using namespace PictureFiles;
using namespace MetafileFonts;

namespace {

constexpr TColor Backdrop = 0x444444;
enum : uint16_t { SetBkMode = 0x0102, SelectObject = 0x012D, CreateFont = 0x02FB, TextOut = 0x0521 };

// A CREATEFONTINDIRECT record's words: height, width, escapement, orientation, weight, then the
// italic, underline, strike-out, character set, precision, quality and pitch bytes and the face.
std::vector<int> Font(const std::string& face, int charset, int height = -24)
{
    std::vector<int> words{height, 0, 0, 0, 400, 0, charset << 8, 0, 0};
    std::string name = face;
    name.resize(32, '\0');
    for (size_t i = 0; i < name.size(); i += 2)
        words.push_back(static_cast<unsigned char>(name[i]) | static_cast<unsigned char>(name[i + 1]) << 8);
    return words;
}

// The pixels of `text` (metafile bytes) drawn in black on the backdrop in that font.
std::vector<uint32_t> Draw(const std::vector<int>& font, const std::string& text)
{
    std::string wmf = Wmf(
        60, 40, 96, 1, {{CreateFont, font}, {SelectObject, {0}}, {SetBkMode, {1}}, {TextOut, WmfTextOut(8, 4, text)}});
    return LoadGraphic("wmf", wmf, Backdrop)->Render().Pixels;
}

// The same in an enhanced metafile: a LOGFONTW with the UTF-16 face, the text in UTF-16.
std::vector<uint32_t> DrawWide(const std::u16string& face, int charset, const std::u16string& text)
{
    enum : uint32_t { EmrSetBkMode = 18, EmrSelectObject = 37, EmrCreateFont = 82, EmrTextOut = 84 };
    auto words = [](std::u16string units, std::vector<uint32_t>& into) {
        units.resize((units.size() + 1) / 2 * 2, u'\0');
        for (size_t i = 0; i < units.size(); i += 2)
            into.push_back(units[i] | uint32_t(units[i + 1]) << 16);
    };
    // The slot, height, width, escapement, orientation, weight, the italic, underline, strike-out
    // and character set bytes, the pitch and the rest, then 32 units of face.
    TEmfRecord font{EmrCreateFont, {1, uint32_t(-24), 0, 0, 0, 400, uint32_t(charset) << 24, 0}};
    words(face + std::u16string(32 - face.size(), u'\0'), font.Params);
    // EMRTEXT at 8,4: the characters at byte 76, no options, no rectangle, no spacing.
    TEmfRecord out{EmrTextOut, {0, 0, 0, 0, 1, 0, 0, 8, 4, uint32_t(text.size()), 76, 0, 0, 0, 0, 0, 0}};
    words(text, out.Params);
    std::string emf = Emf(60, 40, {font, {EmrSelectObject, {1}}, {EmrSetBkMode, {1}}, out});
    return LoadGraphic("emf", emf, Backdrop)->Render().Pixels;
}

int Inked(const std::vector<uint32_t>& pixels)
{
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), 0u));
}

}  // namespace

TEST(MetafileFonts, SymbolBytesAreTheAdobeSymbolEncoding)
{
    EXPECT_EQ(SymbolCharacter('D'), U'Δ');
    EXPECT_EQ(SymbolCharacter('a'), U'α');
    EXPECT_EQ(SymbolCharacter('r'), U'ρ');
    EXPECT_EQ(SymbolCharacter(0xB3), U'≥');
    EXPECT_EQ(SymbolCharacter('+'), U'+');
    EXPECT_EQ(SymbolCharacter(0xFE), U'\u23AD') << "the last code: the table is whole";
    EXPECT_EQ(SymbolCharacter(0x80), 0u) << "unassigned codes draw nothing";

    // A Symbol font's bytes are single characters even where Shift-JIS would pair them.
    TChoice symbol = Choose({"Symbol", 2});
    std::vector<TRun> runs = SplitRuns(Characters({"\x81\x44", {}, false, {}}, true), symbol, false);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Utf8, "Δ");
    EXPECT_EQ(runs[0].FirstUnit, 1u);
    EXPECT_TRUE(Choose({"", SymbolCharset}).Symbol) << "the character set alone names a symbol font";
    EXPECT_FALSE(Choose({"WINGDINGS 2", SymbolCharset}).Symbol);
}

TEST(MetafileFonts, SymbolTextDrawsTheGreekLetterItsByteStandsFor)
{
    std::vector<uint32_t> symbolD = Draw(Font("Symbol", SymbolCharset), "D");
    std::vector<uint32_t> delta = Draw(Font("Times New Roman", 0), Sjis::FromUtf8("Δ"));
    std::vector<uint32_t> latinD = Draw(Font("Times New Roman", 0), "D");
    EXPECT_GT(Inked(symbolD), 20);
    EXPECT_EQ(symbolD, delta);
    EXPECT_NE(symbolD, latinD);
}

TEST(MetafileFonts, WindowsLatinFacesAreTheirMetricCompatibleLiberationFaces)
{
    TChoice arial = Choose({"Arial", 0, 700, true, false});
    ASSERT_EQ(arial.Faces.size(), 2u);
    EXPECT_EQ(arial.Faces[0].Family, "Liberation Sans");
    EXPECT_TRUE(arial.Faces[0].Bold && arial.Faces[0].Italic);
    EXPECT_TRUE(InstalledFile(arial.Faces[0]).ends_with("/LiberationSans-BoldItalic.ttf"));
    EXPECT_EQ(arial.Faces[1].Family, "IPAPGothic") << "Japanese text falls back to the Gothic face";

    EXPECT_EQ(Choose({"times new roman"}).Faces[0].Family, "Liberation Serif") << "names ignore letter case";
    EXPECT_EQ(Choose({"Courier New"}).Faces[0].Family, "Liberation Mono");
    EXPECT_TRUE(Choose({"Arial", 0, 600}).Faces[0].Bold) << "semibold and heavier draw bold";
    EXPECT_FALSE(Choose({"Arial", 0, 599}).Faces[0].Bold);

    // Faces we do not know, the Japanese ones among them, draw as they always have.
    for (const char* face : {"ＭＳ 明朝", "MS Gothic", "Garamond", ""}) {
        TChoice other = Choose({face, 128, 400, false, true});
        ASSERT_EQ(other.Faces.size(), 1u) << face;
        EXPECT_EQ(other.Faces[0].Family, "IPAGothic") << face;
        EXPECT_FALSE(other.Symbol) << face;
    }
    EXPECT_EQ(InstalledFile({"No Such Face"}), "") << "fontconfig's stand-in is not that face";
}

TEST(MetafileFonts, JapaneseTextInALatinFaceIsDrawnWithTheJapaneseFace)
{
    std::string text = Sjis::FromUtf8("Ab表示");
    std::vector<TRun> runs = SplitRuns(Characters({text, {}, false, {}}, false), Choose({"Times New Roman"}), false);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Utf8, "Ab");
    EXPECT_EQ(runs[0].Face, 0u);
    EXPECT_EQ(runs[1].Utf8, "表示");
    EXPECT_EQ(runs[1].Face, 1u);
    EXPECT_EQ(runs[1].FirstUnit, 2u);

    // The same glyphs as in the Japanese face, wherever the Latin face's baseline puts them.
    std::string kanji = Sjis::FromUtf8("表示");
    int latin = Inked(Draw(Font("Times New Roman", 0), kanji));
    int gothic = Inked(Draw(Font(Sjis::FromUtf8("ＭＳ Ｐゴシック"), 128), kanji));
    EXPECT_GT(gothic, 60);
    EXPECT_EQ(latin, gothic);
}

TEST(MetafileFonts, EnhancedMetafilesChooseTheirFacesAsWindowsMetafilesDo)
{
    EXPECT_EQ(DrawWide(u"Arial", 0, u"Ag"), Draw(Font("Arial", 0), "Ag")) << "Liberation Sans in both";

    // Windows keeps a symbol font's codes at U+F020-U+F0FF; they and the bare codes are the
    // Symbol encoding's.
    std::vector<uint32_t> delta = Draw(Font("Times New Roman", 0), Sjis::FromUtf8("Δ"));
    EXPECT_EQ(DrawWide(u"Symbol", SymbolCharset, u"\uF044"), delta);
    EXPECT_EQ(DrawWide(u"Symbol", SymbolCharset, u"D"), delta);
    EXPECT_EQ(DrawWide(u"Symbol", SymbolCharset, u"Δ"), delta) << "a character outside them is itself";
}
