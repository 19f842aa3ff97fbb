// The faces a metafile's logical font is drawn with, and how its text becomes characters. Both
// Windows and enhanced metafiles name their fonts the same way: a face name, a character set, a
// weight and a slant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace MetafileFonts {

constexpr int SymbolCharset = 2;   // SYMBOL_CHARSET
constexpr int DefaultCharset = 1;  // DEFAULT_CHARSET
constexpr int BoldWeight = 600;    // FW_SEMIBOLD and above draw bold

// What the logical font asks for.
struct TRequest {
    std::string Face;  // UTF-8 (a Windows metafile's Shift-JIS or ANSI bytes converted)
    int Charset = DefaultCharset;
    int Weight = 400;
    bool Italic = false;
    bool FixedPitch = false;
};

// A face as cairo's font selection and fontconfig name it.
struct TFace {
    std::string Family;
    bool Bold = false;
    bool Italic = false;
};

// The faces to draw with, best first: each character is drawn with the first face that has it,
// the last face draws whatever is left. A symbol font's single bytes are read through the Adobe
// Symbol encoding instead of as Shift-JIS.
struct TChoice {
    std::vector<TFace> Faces;
    bool Symbol = false;
};

TChoice Choose(const TRequest& font);

// The font file fontconfig draws `face` with, or "" when it has no face of that family.
std::string InstalledFile(const TFace& face);

// The character the Symbol font draws for `byte`, or 0 where it draws nothing.
char32_t SymbolCharacter(uint8_t byte);

// A metafile's text as its record holds it.
struct TText {
    std::string ShiftJis;  // a Windows metafile's text, or EMR_EXTTEXTOUTA's
    std::u16string Utf16;  // EMR_EXTTEXTOUTW's and EMR_SMALLTEXTOUT's
    bool Wide = false;     // the text is in Utf16
    // When the record spaces its characters: the distance in logical units from the cell of each
    // unit of the text (a byte of Shift-JIS, a unit of UTF-16) to the next. Empty otherwise.
    std::vector<double> Spacing;
};

// A character of the text in UTF-8, and the units of the text it came from.
struct TCharacter {
    std::string Utf8;
    size_t FirstUnit, EndUnit;
};

// The characters of `text`. A lone surrogate and a noncharacter, which cairo refuses as text and
// would stop drawing for good, become U+FFFD. With a symbol font, each single byte is a code of
// the Symbol encoding: every byte of a Windows metafile's text, and the UTF-16 units
// U+0000-U+00FF and U+F000-U+F0FF (where Windows keeps a symbol font's codes); codes the Symbol
// font draws nothing for are left out.
std::vector<TCharacter> Characters(const TText& text, bool symbol);

// UTF-16 (an enhanced metafile's face names) as UTF-8, converted as its text is.
std::string Utf8FromUtf16(const std::u16string& units);

// A piece of text one face draws: its characters in UTF-8 and the units of the metafile's text
// they came from.
struct TRun {
    size_t Face;  // index into TChoice::Faces
    std::string Utf8;
    size_t FirstUnit, EndUnit;
};

// Gives each character the face that draws it, merging neighbours of the same face into one run.
// With `perCharacter`, every character is its own run.
std::vector<TRun> SplitRuns(const std::vector<TCharacter>& characters, const TChoice& choice, bool perCharacter);

}  // namespace MetafileFonts
